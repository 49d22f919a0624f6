// The file layer on POSIX systems.

#include "background.h"
#include "file_descriptor.h"
#include "file_system.h"
#include "save_steps.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvidon {

namespace {

// The most one read() call transfers on Linux.
constexpr std::size_t kMaxReadChunk = 0x7ffff000;
// Files from this size on are read on two threads.
constexpr std::int64_t kSplitReadSize = std::int64_t{64} << 20;
constexpr std::int64_t kHugePage = std::int64_t{2} << 20;
// As many symbolic links as Linux follows in one name before ELOOP.
constexpr int kMaxLinks = 40;
// Tries at a free temporary name before the folder counts as taking none.
constexpr int kTemporaryNameTries = 100;

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

// Blocking again, so that devices and pipes with a reader take the whole
// export as usual.
void WriteAndClose(FileDescriptor &file, std::span<const std::uint8_t> bytes, const std::filesystem::path &path)
{
    const int flags = fcntl(file.get(), F_GETFL);
    if (flags < 0 || fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        throw MakeIoError(errno, path);
    WriteAll(file.get(), bytes, path);
    if (file.close() != 0)
        throw MakeIoError(errno, path);
}

// The name path's symbolic links lead to, so that saving over a link
// replaces the file it names and leaves the link. A loop is left for
// open() to report. absent says whether nothing at all is at that name.
std::filesystem::path FollowLinks(std::filesystem::path path, bool &absent)
{
    absent = false;
    for (int hops = 0; hops < kMaxLinks; ++hops) {
        std::error_code notALink;
        const std::filesystem::path link = std::filesystem::read_symlink(path, notALink);
        if (notALink) {
            absent = notALink == std::errc::no_such_file_or_directory;
            break;
        }
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path;
}

// A new file of ours beside target, open for writing; -1 with errno when
// the folder takes none.
int CreateTemporaryBeside(const std::filesystem::path &target, mode_t mode, std::filesystem::path &name)
{
    static std::atomic<unsigned> serial = 0;
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        name = target.parent_path()
            / (".tarvidon-" + std::to_string(getpid()) + "-" + std::to_string(serial++) + ".tmp");
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// What users of the old file rely on: its permission bits and, where we
// may set them, its owner and group. File systems without POSIX
// permissions refuse both; the new file is then like any other made there.
void KeepOwnerAndMode(int fd, const struct stat &old)
{
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // only root gives files away, and we are in none of the old groups
    }
    if (fchmod(fd, old.st_mode & 07777) != 0) {
        // the file system keeps no permission bits
    }
}

// Truncates path and writes it, for a folder that takes no temporary file;
// without replace, only a new file.
void WriteInPlace(const std::filesystem::path &path, std::span<const std::uint8_t> bytes, bool replace)
{
    FileDescriptor file(open(path.c_str(), O_WRONLY | O_CREAT | (replace ? O_TRUNC : O_EXCL) | O_CLOEXEC | O_NONBLOCK,
                             0666));
    if (!file.valid()) {
        if (errno == EEXIST && !replace)
            throw FileExists(path);
        throw MakeIoError(errno, path);
    }
    struct stat info {};
    const bool regular = fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode);
    try {
        WriteAndClose(file, bytes, path);
    } catch (const EngineError &) {
        // A short file is worse than none; devices and pipes are not ours
        // to remove.
        if (regular)
            unlink(path.c_str());
        throw;
    }
}

// Reads size bytes at offset into bytes.
void ReadAt(int fd, std::uint8_t *bytes, std::int64_t offset, std::int64_t size, const std::filesystem::path &path)
{
    while (size > 0) {
        const std::size_t want = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), kMaxReadChunk);
        const ssize_t got = pread(fd, bytes, want, offset);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw MakeIoError(errno, path);
        }
        if (got == 0)
            throw ReadBeyondEndError(); // the file shrank while we read it
        bytes += got;
        offset += got;
        size -= got;
    }
}

// What a save of path finds there: the name its symbolic links lead to,
// the regular file there, if any, whose owner and mode a new file keeps,
// or a device or pipe, open for writing, which is written as it is.
struct SaveTarget {
    std::filesystem::path name;
    std::optional<struct stat> old;
    FileDescriptor device{-1};
};

SaveTarget FindTarget(const std::filesystem::path &path)
{
    if (path.empty())
        throw MakeIoError(ENOENT, path);
    bool absent = false;
    SaveTarget target{FollowLinks(path, absent), std::nullopt, FileDescriptor(-1)};
    if (absent) // a new file: nothing to learn by opening it (a batch saves thousands)
        return target;
    // Opened without creating or truncating, to learn whether a file is
    // there, whether we may write it and what it is. Non-blocking, so that
    // a FIFO with no reader fails (ENXIO) instead of hanging the program.
    FileDescriptor existing(open(target.name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (!existing.valid()) {
        if (errno != ENOENT)
            throw MakeIoError(errno, path);
        return target;
    }
    struct stat old {};
    if (fstat(existing.get(), &old) != 0)
        throw MakeIoError(errno, path);
    if (!S_ISREG(old.st_mode)) {
        target.device = std::move(existing);
        return target;
    }
    if (existing.close() != 0)
        throw MakeIoError(errno, path);
    target.old = old;
    return target;
}

// path opened for reading. Non-blocking, so that opening a FIFO with no
// writer cannot hang us.
FileDescriptor OpenForReading(const std::filesystem::path &path)
{
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid())
        throw MakeIoError(errno, path);
    return file;
}

// Pipes, sockets and devices have no fixed size to read; they are refused
// rather than block or read forever.
std::int64_t RegularFileSize(const FileDescriptor &file, const std::filesystem::path &path)
{
    struct stat info {};
    if (fstat(file.get(), &info) != 0)
        throw MakeIoError(errno, path);
    if (!S_ISREG(info.st_mode))
        throw MakeIoError(EINVAL, path);
    return info.st_size;
}

// Reads into bytes until they are full or the file ends; how many came.
std::size_t ReadUpTo(const FileDescriptor &file, std::span<std::uint8_t> bytes, const std::filesystem::path &path)
{
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t read = ::read(file.get(), bytes.data() + got, bytes.size() - got);
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            throw MakeIoError(errno, path);
        if (read == 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    return got;
}

} // namespace

// A temporary file beside its target holding the bytes to save, not yet
// flushed or moved into place; removed unless it was moved.
struct FileBatch::Pending {
    std::filesystem::path name;
    std::filesystem::path target;
    std::filesystem::path path; // as the caller gave it, for messages
    FileDescriptor file{-1};
    bool moved = false;

    Pending(const std::filesystem::path &target, const std::filesystem::path &path) : target(target), path(path) {}
    Pending(const Pending &) = delete;
    Pending &operator=(const Pending &) = delete;
    ~Pending()
    {
        if (!moved)
            RemoveFileQuietly(name);
    }

    // Nothing, with nothing changed, when the folder takes no new file.
    static PendingFile Write(const SaveTarget &target, std::span<const std::uint8_t> bytes,
                             const std::filesystem::path &path)
    {
        PendingFile pending(new Pending(target.name, path));
        pending->file = FileDescriptor(CreateTemporaryBeside(target.name, target.old ? 0600 : 0666, pending->name));
        if (!pending->file.valid())
            return nullptr;
        if (target.old)
            KeepOwnerAndMode(pending->file.get(), *target.old);
        WriteAll(pending->file.get(), bytes, path);
        return pending;
    }
};

void FileBatch::Discard::operator()(Pending *file) const noexcept
{
    delete file;
}

FileExistsError FileExists(const std::filesystem::path &path)
{
    return FileExistsError(EEXIST, IoErrorMessage(EEXIST, path));
}

bool IsExistingNonFolder(const std::filesystem::path &path)
{
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

DataImage ReadWholeFile(const std::filesystem::path &path)
{
    FileDescriptor file = OpenForReading(path);
    const std::int64_t size = RegularFileSize(file, path);
    DataImage image = DataImage::Allocate(size);
    // A large file is read in two halves at once, the second on a thread of
    // its own where one can be had: copying from the page cache and the
    // first touch of fresh memory are most of an open, and both go as fast
    // again on two cores. The halves meet on a huge page boundary, so that
    // no page is shared.
    if (size < kSplitReadSize) {
        ReadAt(file.get(), image.data(), 0, size, path);
    } else {
        const std::int64_t half = size / 2 / kHugePage * kHugePage;
        auto secondHalf = InBackground([&] { ReadAt(file.get(), image.data() + half, half, size - half, path); });
        ReadAt(file.get(), image.data(), 0, half, path);
        secondHalf.get(); // a failure there is thrown here
    }
    if (file.close() != 0)
        throw MakeIoError(errno, path);
    return image;
}

FileStart ReadFileStart(const std::filesystem::path &path, std::span<std::uint8_t> bytes)
{
    FileDescriptor file = OpenForReading(path);
    RegularFileSize(file, path); // refuses pipes and devices before any read
    const std::size_t read = ReadUpTo(file, bytes, path);
    const FileStart start{read, RegularFileSize(file, path)};
    if (file.close() != 0)
        throw MakeIoError(errno, path);
    return start;
}

SaveStart BeginSave(const std::filesystem::path &path, std::span<const std::uint8_t> bytes, bool replace)
{
    auto target = std::make_shared<SaveTarget>(FindTarget(path));
    if (target->device.valid()) {
        return {nullptr, [=] { WriteAndClose(target->device, bytes, path); }, true};
    }
    if (FileBatch::PendingFile file = FileBatch::Pending::Write(*target, bytes, path))
        return {std::move(file), nullptr, false};
    return {nullptr, [=] { WriteInPlace(path, bytes, replace); }, false};
}

void FlushAndClose(const std::vector<FileBatch::PendingFile> &files)
{
#ifdef __linux__
    // The whole file system at once (syncfs), which costs what flushing one
    // file does, once for each file system the files are on.
    std::vector<dev_t> flushed;
    for (const auto &file : files) {
        struct stat info {};
        if (fstat(file->file.get(), &info) != 0)
            throw MakeIoError(errno, file->path);
        if (std::find(flushed.begin(), flushed.end(), info.st_dev) != flushed.end())
            continue;
        if ((files.size() == 1 ? fsync(file->file.get()) : syncfs(file->file.get())) != 0)
            throw MakeIoError(errno, file->path);
        flushed.push_back(info.st_dev);
    }
#else
    for (const auto &file : files) {
        if (fsync(file->file.get()) != 0)
            throw MakeIoError(errno, file->path);
    }
#endif
    for (const auto &file : files) {
        if (file->file.close() != 0)
            throw MakeIoError(errno, file->path);
    }
}

std::filesystem::path MoveIntoPlace(FileBatch::Pending &file, bool replace)
{
    RenameFile(file.name, file.target, replace);
    file.moved = true;
    return file.target.parent_path();
}

// A folder we may write but not read, and file systems that flush no
// folder (EINVAL), are left as they are.
void FlushFolder(const std::filesystem::path &folder)
{
    const std::filesystem::path name = folder.empty() ? std::filesystem::path(".") : folder;
    FileDescriptor entries(open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (entries.valid() && fsync(entries.get()) != 0 && errno != EINVAL && errno != EBADF)
        throw MakeIoError(errno, folder);
}

void RenameFile(const std::filesystem::path &from, const std::filesystem::path &to, bool replace)
{
    if (replace) {
        if (std::rename(from.c_str(), to.c_str()) != 0)
            throw MakeIoError(errno, to);
        return;
    }
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return;
    if (errno == EEXIST)
        throw FileExists(to);
    if (errno != EINVAL && errno != ENOSYS)
        throw MakeIoError(errno, to);
#endif
    // Where the file system has no such rename: a second name, which no
    // file already there can take, then the first name removed.
    if (link(from.c_str(), to.c_str()) != 0) {
        if (errno == EEXIST)
            throw FileExists(to);
        throw MakeIoError(errno, to);
    }
    unlink(from.c_str()); // the file is in place whatever this does
}

void RemoveFileQuietly(const std::filesystem::path &path) noexcept
{
    unlink(path.c_str());
}

} // namespace tarvidon
