// identify: which catalogue entries hold the image of a dump read back from
// a device, or come closest to it.

#include "arguments.h"
#include "commands.h"
#include "comparison.h"
#include "output.h"
#include "platform.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>

namespace tarvidon::cli {

namespace {

// Offsets in a table: runs as "first-last", at most this many of them.
constexpr std::size_t kShownRuns = 4;

// Appended piece by piece, not as "a" + b: GCC 12 at -O3 inlines that into
// a memcpy it wrongly takes for overlapping (a false -Wrestrict).
void AppendOffset(std::string &text, const char *separator, int offset)
{
    text += separator;
    text += Decimal(offset);
}

std::string OffsetList(const std::vector<int> &offsets)
{
    std::string text;
    for (const int offset : offsets)
        AppendOffset(text, text.empty() ? "" : " ", offset);
    return text;
}

std::string ShortOffsetList(const std::vector<int> &offsets)
{
    if (offsets.empty())
        return "-";
    const std::vector<OffsetRun> runs = RunsOf(offsets);
    std::string text;
    for (std::size_t k = 0; k < std::min(runs.size(), kShownRuns); ++k) {
        AppendOffset(text, text.empty() ? "" : " ", runs[k].first);
        if (runs[k].last > runs[k].first)
            AppendOffset(text, "-", runs[k].last);
    }
    return runs.size() > kShownRuns ? text + " ..." : text;
}

// Every field of an entry, then how its image differs from the dump's;
// tables keep the name last.
void WriteMatches(Output &out, const EngineState &state, const std::vector<ImageMatch> &matches, Format format)
{
    switch (format) {
    case Format::Table: {
        std::vector<Column> columns;
        for (const EntryField &field : kEntryFields) {
            if (field.kind == EntryField::Kind::Name)
                columns.insert(columns.end(), {{"Differing", true}, {"Where"}});
            columns.push_back({field.heading, field.kind == EntryField::Kind::Number});
        }
        WriteAlignedTable(out, columns, matches.size(), [&](std::size_t k) {
            std::vector<std::string> cells;
            for (const EntryField &field : kEntryFields) {
                if (field.kind == EntryField::Kind::Name) {
                    cells.push_back(Decimal(std::ssize(matches[k].differingOffsets)));
                    cells.push_back(ShortOffsetList(matches[k].differingOffsets));
                }
                cells.push_back(FieldText(field, {state, matches[k].index}));
            }
            return cells;
        });
        break;
    }
    case Format::Csv: {
        std::vector<std::string_view> header;
        for (const EntryField &field : kEntryFields)
            header.push_back(field.name);
        header.insert(header.end(), {"differing_bytes", "differing_offsets"});
        WriteCsvRecord(out, header);
        for (const ImageMatch &match : matches) {
            std::vector<std::string> fields;
            for (const EntryField &field : kEntryFields)
                fields.push_back(FieldText(field, {state, match.index}));
            fields.push_back(Decimal(std::ssize(match.differingOffsets)));
            fields.push_back(OffsetList(match.differingOffsets));
            WriteCsvRecord(out, std::vector<std::string_view>(fields.begin(), fields.end()));
        }
        break;
    }
    case Format::Json:
        WriteJsonArray(out, matches.size(), [&](std::size_t k) {
            nlohmann::ordered_json object = EntryJson({state, matches[k].index});
            object["differing_bytes"] = matches[k].differingOffsets.size();
            object["differing_offsets"] = matches[k].differingOffsets;
            return object;
        });
        out << "\n";
        break;
    }
}

} // namespace

int RunIdentify(const IdentifyOptions &options)
{
    // The dump first: a wrong one is found before a large catalogue loads.
    CheckFile(options.dump);
    const auto image = OnPath(options.dump, [&] { return ReadDumpImage(PathFromUtf8(options.dump)); });
    const EngineState state = LoadCatalogue(options.file);
    const std::vector<ImageMatch> matches = OnPath(options.file, [&] {
        return options.nearest ? FindNearestImages(state, image, *options.nearest) : FindEqualImages(state, image);
    });
    Output out(stdout);
    WriteMatches(out, state, matches, options.format);
    out.finish();
    const bool exact = !matches.empty() && matches.front().differingOffsets.empty();
    return exact ? kExitMatch : kExitNoMatch;
}

void AddIdentifyCommand(CLI::App &app, Command &command)
{
    auto [identify, options] = AddCommand<IdentifyOptions>(
        app, command, "identify",
        "The entries whose firmware image a dump holds (a bare 256-byte image, or a 512-byte export file whose last "
        "256 bytes are the image); exit status 1 when none holds it exactly",
        RunIdentify, [](const IdentifyOptions &o) { return o.file; });
    AddFile(*identify, options->file);
    identify->add_option("DUMP", options->dump, "Dump read back from a device")->required();
    identify
        ->add_option("--nearest", options->nearest,
                     "The N entries whose images differ from the dump in the fewest bytes, fewest first")
        ->option_text("N")
        ->check(CLI::Range(std::int64_t{1}, std::numeric_limits<std::int64_t>::max()));
    AddFormat(*identify, options->format);
}

} // namespace tarvidon::cli
