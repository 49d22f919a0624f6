// The file layer on POSIX systems.

#include "file_descriptor.h"
#include "file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvidon {

namespace {

// The most one read() call transfers on Linux.
constexpr std::size_t kMaxReadChunk = 0x7ffff000;

void WriteAll(int fd, std::span<const std::uint8_t> bytes, const std::filesystem::path &path)
{
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw MakeIoError(errno, path);
        }
        if (written == 0)
            throw DiskFullError();
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
}

} // namespace

bool IsExistingNonFolder(const std::filesystem::path &path)
{
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

DataImage ReadWholeFile(const std::filesystem::path &path)
{
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
    return image;
}

void WriteWholeFile(const std::filesystem::path &path, std::span<const std::uint8_t> bytes)
{
    if (path.empty())
        throw MakeIoError(ENOENT, path);

    // Non-blocking, so that a FIFO with no reader fails (ENXIO) instead of
    // hanging the program; then blocking again, so that devices and pipes
    // with a reader take the whole export as usual.
    FileDescriptor file(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!file.valid())
        throw MakeIoError(errno, path);
    const int flags = fcntl(file.get(), F_GETFL);
    if (flags < 0 || fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        throw MakeIoError(errno, path);
    struct stat info {};
    const bool regular = fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode);
    try {
        WriteAll(file.get(), bytes, path);
        if (file.close() != 0)
            throw MakeIoError(errno, path);
    } catch (const EngineError &) {
        // A short file is worse than none; devices and pipes are not ours
        // to remove.
        if (regular)
            unlink(path.c_str());
        throw;
    }
}

void ReplaceFile(const std::filesystem::path &from, const std::filesystem::path &to)
{
    if (std::rename(from.c_str(), to.c_str()) != 0)
        throw MakeIoError(errno, to);
}

void RemoveFileQuietly(const std::filesystem::path &path) noexcept
{
    unlink(path.c_str());
}

} // namespace tarvidon
