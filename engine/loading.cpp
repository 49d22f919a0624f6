// DataImage storage and reading the data file and dumps.

#include "catalogue.h"
#include "comparison.h"
#include "file_system.h"
#include "large_buffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace tarvidon {

void DataImage::Release::operator()(std::uint8_t *bytes) const
{
    FreeLarge(bytes);
}

// A moved-from image is empty, length and all.
DataImage::DataImage(DataImage &&other) noexcept
    : bytes_(std::move(other.bytes_)), length_(std::exchange(other.length_, 0))
{
}

DataImage &DataImage::operator=(DataImage &&other) noexcept
{
    bytes_ = std::move(other.bytes_);
    length_ = std::exchange(other.length_, 0);
    return *this;
}

DataImage DataImage::Allocate(std::int64_t length)
{
    DataImage image;
    if (length <= 0)
        return image;
    if (static_cast<std::uint64_t>(length) > std::numeric_limits<std::size_t>::max())
        throw OutOfMemoryError();
    void *bytes = AllocateLarge(static_cast<std::size_t>(length));
    if (bytes == nullptr)
        throw OutOfMemoryError();
    image.bytes_.reset(static_cast<std::uint8_t *>(bytes));
    image.length_ = length;
    return image;
}

DataImage DataImage::FromBytes(std::span<const std::uint8_t> bytes)
{
    DataImage image = Allocate(static_cast<std::int64_t>(bytes.size()));
    if (!bytes.empty())
        std::memcpy(image.data(), bytes.data(), bytes.size());
    return image;
}

void CheckDataFile(EngineState &state, const std::filesystem::path &path, const ShowMessageFn &showMessage)
{
    state.FileFound = IsExistingNonFolder(path);
    if (!state.FileFound && showMessage)
        showMessage(kMissingFileMessage);
}

void LoadDataFile(EngineState &state, const std::filesystem::path &path)
{
    if (state.FileFound)
        state.Image = ReadWholeFile(path);
}

bool LoadAndScan(EngineState &state, const std::filesystem::path &path)
{
    if (!state.FileFound)
        return ScanCatalogue(state); // the image loaded before, scanned again
    EngineState loaded;
    loaded.FileFound = true;
    LoadDataFile(loaded, path);
    const bool scanned = ScanCatalogue(loaded);
    state.Image = std::move(loaded.Image);
    if (scanned)
        state.Catalogue = std::move(loaded.Catalogue);
    return scanned;
}

std::array<std::uint8_t, ImageView::extent> ReadDumpImage(const std::filesystem::path &path)
{
    // One byte past an export file tells a larger file, or one that grows
    // meanwhile, without reading the rest of it.
    std::array<std::uint8_t, kExportSize + 1> bytes{};
    const FileStart start = ReadFileStart(path, bytes);
    if (start.read > static_cast<std::size_t>(kExportSize))
        throw DumpSizeError(std::max(start.size, static_cast<std::int64_t>(start.read)));
    const ImageView image = ImageOfDump(std::span(bytes).first(start.read));
    std::array<std::uint8_t, ImageView::extent> copy{};
    std::copy(image.begin(), image.end(), copy.begin());
    return copy;
}

} // namespace tarvidon
