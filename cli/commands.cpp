#include "commands.h"

#include "arguments.h"

#include "code_page.h"
#include "output.h"
#include "platform.h"

#include <cstdio>
#include <numeric>
#include <vector>

namespace tarvidon::cli {

EngineState CheckFile(const std::string &file)
{
    EngineState state;
    std::string message;
    CheckDataFile(state, PathFromUtf8(file), [&](std::string_view text) { message = text; });
    if (!state.FileFound)
        throw Failure(file, message);
    return state;
}

EngineState LoadCatalogue(const std::string &file)
{
    EngineState state = CheckFile(file);
    OnPath(file, [&] {
        LoadDataFile(state, PathFromUtf8(file));
        ScanCatalogue(state);
    });
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
    WriteEntries(out, state, indices, options.format);
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
        indices = byModel ? FindAllByModel(catalogue, typed) : FindAllByProductNumber(catalogue, typed);
    } else {
        const MatchIndex found = byModel ? FindByModel(catalogue, typed) : FindByProductNumber(catalogue, typed);
        if (found != kNoMatch)
            indices.push_back(found);
    }
    if (indices.empty())
        return kExitNoMatch;
    Output out(stdout);
    WriteEntries(out, state, indices, options.format);
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

namespace {

std::string FileOf(const auto &options)
{
    return options.file;
}

} // namespace

void AddListCommand(CLI::App &app, Command &command)
{
    auto [list, options] = AddCommand<ListOptions>(app, command, "list", "Every catalogue entry in file order",
                                                   RunList, FileOf<ListOptions>);
    AddFile(*list, options->file);
    AddFormat(*list, options->format);
}

void AddFindCommand(CLI::App &app, Command &command)
{
    auto [find, options] = AddCommand<FindOptions>(
        app, command, "find",
        "The last entry whose model name or product number starts with TEXT (Latin letters in any case); exit "
        "status 1 when none does",
        RunFind, FileOf<FindOptions>);
    AddFile(*find, options->file);
    CLI::Option_group *by = find->add_option_group("lookup", "What TEXT starts");
    by->add_option("--model", options->model, "Start of a model name")->option_text("TEXT");
    by->add_option("--product", options->product, "Start of a product number")->option_text("TEXT");
    by->require_option(1);
    find->add_flag("--all", options->all, "Every match in file order, not only the last");
    AddFormat(*find, options->format);
}

void AddShowCommand(CLI::App &app, Command &command)
{
    auto [show, options] = AddCommand<ShowOptions>(app, command, "show", "The 16 hex rows of an entry's firmware image",
                                                   RunShow, FileOf<ShowOptions>);
    AddFile(*show, options->file);
    AddEntryChoice(*show, options->entry)->require_option(1);
}

namespace {

// One entry to a file, or with --all every (matching) entry into a folder.
struct ExportCommandOptions {
    ExportOptions one;
    BatchExportOptions all;
    bool batch = false;
};

int RunExportCommand(const ExportCommandOptions &options)
{
    if (!options.batch)
        return RunExport(options.one);
    BatchExportOptions all = options.all;
    all.file = options.one.file;
    return RunBatchExport(all);
}

} // namespace

void AddExportCommand(CLI::App &app, Command &command)
{
    auto [exporting, options] = AddCommand<ExportCommandOptions>(
        app, command, "export",
        "Write an entry's 512-byte export file, or with --all one for every (matching) entry into DIR",
        RunExportCommand, [](const ExportCommandOptions &o) { return o.one.file; });
    AddFile(*exporting, options->one.file);
    CLI::Option_group *which = AddEntryChoice(*exporting, options->one.entry);
    CLI::Option *all = which->add_flag("--all", options->batch, "Every entry, or every prefix match, into --dir");
    which->require_option(1);
    exporting->add_option("-o,--output", options->one.output, "Output file; default PRODUCT_MODEL.BIN here")
        ->excludes(all);
    CLI::Option *dir =
        exporting->add_option("--dir", options->all.dir, "Folder for --all, created if missing")->needs(all);
    all->needs(dir);
    CLI::Option_group *prefix = exporting->add_option_group("prefix", "With --all: only entries starting with");
    prefix->add_option("--model-prefix", options->all.modelPrefix, "Start of the model names")
        ->option_text("TEXT")
        ->needs(all);
    prefix->add_option("--product-prefix", options->all.productPrefix, "Start of the product numbers")
        ->option_text("TEXT")
        ->needs(all);
    prefix->require_option(0, 1);
    exporting->add_option("--manifest", options->all.manifest, "With --all: CSV of the files written")->needs(all);
    exporting->add_flag("--overwrite", options->all.overwrite, "With --all: replace files that exist")->needs(all);
}

} // namespace tarvidon::cli
