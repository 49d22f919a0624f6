#include "commands.h"

#include "code_page.h"
#include "output.h"
#include "platform.h"

#include <cstdio>
#include <numeric>
#include <vector>

namespace tarvidon::cli {

EngineState LoadFile(const std::string &file)
{
    EngineState state;
    std::string message;
    const std::filesystem::path path = PathFromUtf8(file);
    CheckDataFile(state, path, [&](std::string_view text) { message = text; });
    if (!state.FileFound)
        throw Failure(file, message);
    OnPath(file, [&] { LoadDataFile(state, path); });
    return state;
}

EngineState LoadCatalogue(const std::string &file)
{
    EngineState state = LoadFile(file);
    OnPath(file, [&] { ScanCatalogue(state); });
    return state;
}

std::string TypedText(const std::string &utf8)
{
    return Utf8ToCp1251(utf8).value_or("");
}

MatchIndex ChosenEntry(const EngineState &state, const EntryChoice &choice)
{
    if (choice.model)
        return FindExactModel(state.Catalogue, TypedText(*choice.model));
    static_cast<void>(state.Catalogue.Entry(*choice.index)); // the range check
    return *choice.index;
}

int RunList(const ListOptions &options)
{
    const EngineState state = LoadCatalogue(options.file);
    LargeVector<MatchIndex> indices(static_cast<std::size_t>(state.Catalogue.ModelCount()));
    std::iota(indices.begin(), indices.end(), MatchIndex{0});
    Output out(stdout);
    WriteEntries(out, state.Catalogue, indices, options.format);
    out.finish();
    return kExitMatch;
}

int RunFind(const FindOptions &options)
{
    const EngineState state = LoadCatalogue(options.file);
    const Catalogue &catalogue = state.Catalogue;
    const bool byModel = options.model.has_value();
    const std::string typed = TypedText(byModel ? *options.model : *options.product);
    std::vector<MatchIndex> indices;
    if (options.all) {
        for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i) {
            const CatalogueEntry entry = catalogue.Entry(i);
            if (MatchesPrefix(typed, byModel ? entry.ModelName : entry.ProductNumber))
                indices.push_back(i);
        }
    } else {
        const MatchIndex found = byModel ? FindByModel(catalogue, typed) : FindByProductNumber(catalogue, typed);
        if (found != kNoMatch)
            indices.push_back(found);
    }
    if (indices.empty())
        return kExitNoMatch;
    Output out(stdout);
    WriteEntries(out, catalogue, indices, options.format);
    out.finish();
    return kExitMatch;
}

int RunShow(const ShowOptions &options)
{
    const EngineState state = LoadCatalogue(options.file);
    const auto rows = OnPath(options.file, [&] { return ShowImage(state, ChosenEntry(state, options.entry)); });
    Output out(stdout);
    for (const std::string &row : rows)
        out << row << "\n";
    out.finish();
    return kExitMatch;
}

int RunExport(const ExportOptions &options)
{
    const EngineState state = LoadCatalogue(options.file);
    const MatchIndex i = OnPath(options.file, [&] { return ChosenEntry(state, options.entry); });
    const std::string path = options.output.value_or(Cp1251ToUtf8(DefaultOutputName(state.Catalogue, i)));
    OnPath(path, [&] { SaveImage(state, state.Catalogue.ModelName(i), PathFromUtf8(path), i); });
    return kExitMatch;
}

} // namespace tarvidon::cli
