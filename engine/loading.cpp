// DataImage storage and reading the data file.

#include "catalogue.h"
#include "file_system.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tarvidon {

namespace {

// Large images are aligned for transparent huge pages: first-touch page
// faults dominate reading a big file, and 2 MiB pages cut them 512-fold.
// Elsewhere the size only bounds what can be asked for.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

void *AllocateBytes(std::size_t size)
{
#ifdef __linux__
    if (size >= kHugePage) {
        const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
        void *bytes = std::aligned_alloc(kHugePage, rounded);
        if (bytes != nullptr)
            madvise(bytes, rounded, MADV_HUGEPAGE); // a hint; failure only costs speed
        return bytes;
    }
#endif
    return std::malloc(size);
}

} // namespace

void DataImage::Release::operator()(std::uint8_t *bytes) const
{
    std::free(bytes);
}

DataImage DataImage::Allocate(std::int64_t length)
{
    DataImage image;
    if (length <= 0)
        return image;
    if (static_cast<std::uint64_t>(length) > std::numeric_limits<std::size_t>::max() - kHugePage)
        throw OutOfMemoryError();
    void *bytes = AllocateBytes(static_cast<std::size_t>(length));
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

} // namespace tarvidon
