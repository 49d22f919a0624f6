// DataImage storage and reading the data file.

#include "catalogue.h"
#include "file_descriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvidon {

namespace {

// Large images are aligned for transparent huge pages: first-touch page
// faults dominate reading a big file, and 2 MiB pages cut them 512-fold.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// The most one read() call transfers on Linux.
constexpr std::size_t kMaxReadChunk = 0x7ffff000;

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
    const auto size = static_cast<std::size_t>(length);
    void *bytes = nullptr;
    if (size >= kHugePage) {
        const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
        bytes = std::aligned_alloc(kHugePage, rounded);
        if (bytes != nullptr)
            madvise(bytes, rounded, MADV_HUGEPAGE); // a hint; failure only costs speed
    } else {
        bytes = std::malloc(size);
    }
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

void CheckDataFile(EngineState &state, const std::string &path, const ShowMessageFn &showMessage)
{
    struct stat info {};
    state.FileFound = !path.empty() && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
    if (!state.FileFound && showMessage)
        showMessage(kMissingFileMessage);
}

void LoadDataFile(EngineState &state, const std::string &path)
{
    if (!state.FileFound)
        return;

    // Non-blocking, so that opening a FIFO with no writer cannot hang us.
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid())
        throw MakeIoError(errno, path);

    struct stat info {};
    if (fstat(file.get(), &info) != 0)
        throw MakeIoError(errno, path);
    // Pipes, sockets and devices have no fixed size to read; refuse them
    // rather than block or read forever.
    if (!S_ISREG(info.st_mode))
        throw MakeIoError(EINVAL, path);

    const std::int64_t size = info.st_size;
    DataImage image = DataImage::Allocate(size);
    std::int64_t filled = 0;
    while (filled < size) {
        const std::size_t want =
            std::min<std::uint64_t>(static_cast<std::uint64_t>(size - filled), kMaxReadChunk);
        const ssize_t got = read(file.get(), image.data() + filled, want);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw MakeIoError(errno, path);
        }
        if (got == 0)
            throw ReadBeyondEndError(); // the file shrank while we read it
        filled += got;
    }
    if (file.close() != 0)
        throw MakeIoError(errno, path);

    state.Image = std::move(image);
}

} // namespace tarvidon
