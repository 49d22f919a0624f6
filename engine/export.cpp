// Hex rows, the default output name and the export file.

#include "catalogue.h"
#include "file_system.h"

#include <algorithm>

namespace tarvidon {

namespace {

MatchIndex EntryToSave(const Catalogue &catalogue, std::string_view modelText, std::optional<MatchIndex> selected)
{
    if (selected && *selected >= 0 && *selected < catalogue.ModelCount()
        && catalogue.ModelName(*selected) == modelText)
        return *selected;
    return FindExactModel(catalogue, modelText);
}

} // namespace

const std::uint8_t *FirmwareImage(const EngineState &state, MatchIndex i)
{
    const std::int64_t offset = state.Catalogue.Entry(i).ImageOffset;
    if (offset < 0 || offset + kImageLength > state.Image.length())
        throw EngineError("The entry lies outside the loaded data; open the data file again");
    return state.Image.data() + offset;
}

std::array<std::string, kHexRowCount> ShowImage(const EngineState &state, MatchIndex i)
{
    const std::uint8_t *image = FirmwareImage(state, i);
    std::array<std::string, kHexRowCount> rows;
    for (int r = 0; r < kHexRowCount; ++r) {
        rows[r].reserve(3 * kBytesPerHexRow);
        for (int c = 0; c < kBytesPerHexRow; ++c)
            rows[r] += ByteToHex(image[r * kBytesPerHexRow + c]) + ' ';
    }
    return rows;
}

std::string DefaultOutputName(const Catalogue &catalogue, MatchIndex i)
{
    const CatalogueEntry entry = catalogue.Entry(i);
    return DefaultOutputName(entry.ProductNumber, entry.ModelName);
}

std::string DefaultOutputName(std::string_view productNumber, std::string_view modelName)
{
    return std::string(productNumber).append("_").append(modelName).append(".BIN");
}

std::array<std::uint8_t, kExportSize> ExportFile(const EngineState &state, MatchIndex i)
{
    const std::uint8_t *image = FirmwareImage(state, i);
    std::array<std::uint8_t, kExportSize> file{};
    std::copy(image, image + kImageLength, file.begin() + kExportPadding);
    return file;
}

void SaveImage(const EngineState &state, std::string_view modelText, const std::filesystem::path &path,
               std::optional<MatchIndex> selected)
{
    // One write call: exports come by the thousand in a batch.
    WriteWholeFile(path, ExportFile(state, EntryToSave(state.Catalogue, modelText, selected)));
}

} // namespace tarvidon
