// identify: which catalogue entries hold the image of a dump read back from
// a device, or come closest to it.

#include "commands.h"
#include "comparison.h"
#include "output.h"

#include <nlohmann/json.hpp>

#include <algorithm>

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

void WriteMatches(Output &out, const Catalogue &catalogue, const std::vector<ImageMatch> &matches, Format format)
{
    switch (format) {
    case Format::Table: {
        const Column columns[] = {{"Index", true}, {"Offset", true}, {"Product"}, {"Differing", true},
                                  {"Where"},       {"Model"}};
        WriteAlignedTable(out, columns, matches.size(), [&](std::size_t k) {
            auto [index, offset, product, model] = EntryFields(catalogue, matches[k].index);
            return std::vector<std::string>{index, offset, product, Decimal(std::ssize(matches[k].differingOffsets)),
                                            ShortOffsetList(matches[k].differingOffsets), model};
        });
        break;
    }
    case Format::Csv: {
        const std::string_view header[] = {kEntryHeader[0], kEntryHeader[1], kEntryHeader[2], kEntryHeader[3],
                                           "differing_bytes", "differing_offsets"};
        WriteCsvRecord(out, header);
        for (const ImageMatch &match : matches) {
            const auto fields = EntryFields(catalogue, match.index);
            const std::string count = Decimal(std::ssize(match.differingOffsets));
            const std::string offsets = OffsetList(match.differingOffsets);
            const std::string_view record[] = {fields[0], fields[1], fields[2], fields[3], count, offsets};
            WriteCsvRecord(out, record);
        }
        break;
    }
    case Format::Json:
        WriteJsonArray(out, matches.size(), [&](std::size_t k) {
            nlohmann::ordered_json object = EntryJson(catalogue, matches[k].index);
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
    const EngineState dump = LoadFile(options.dump);
    const ImageView image = OnPath(options.dump, [&] {
        return ImageOfDump({dump.Image.data(), static_cast<std::size_t>(dump.Image.length())});
    });
    const EngineState state = LoadCatalogue(options.file);
    const std::vector<ImageMatch> matches = OnPath(options.file, [&] {
        return options.nearest ? FindNearestImages(state, image, *options.nearest) : FindEqualImages(state, image);
    });
    Output out(stdout);
    WriteMatches(out, state.Catalogue, matches, options.format);
    out.finish();
    const bool exact = !matches.empty() && matches.front().differingOffsets.empty();
    return exact ? kExitMatch : kExitNoMatch;
}

} // namespace tarvidon::cli
