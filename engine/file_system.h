#pragma once

// The few file operations the engine and the command line need, one
// implementation per platform. Every failure throws IoError with the
// platform's error number (errno, or GetLastError() on Windows).

#include "catalogue.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>


namespace tarvidon {

/// True when path names an existing entry that is not a folder. Names with
/// the wildcards * or ? never name a file on Windows and are refused there.
[[nodiscard]] bool IsExistingNonFolder(const std::filesystem::path &path);

/// The whole regular file, all or nothing. Pipes and devices are refused
/// without blocking.
[[nodiscard]] DataImage ReadWholeFile(const std::filesystem::path &path);

/// What ReadFileStart read.
struct FileStart {
    std::size_t read = 0;  // bytes, from the first
    std::int64_t size = 0; // of the file when they were read
};

/// The first bytes of a regular file, read into bytes until they are full
/// or the file ends: a file that should be small, read no further than
/// that however large it is or grows. Pipes and devices are refused
/// without blocking.
[[nodiscard]] FileStart ReadFileStart(const std::filesystem::path &path, std::span<std::uint8_t> bytes);

/// Writes bytes to path, whole or not at all. A regular file (or a new one)
/// is written to a temporary file in its folder, flushed to disk and moved
/// over it, keeping the old file's permissions, and the folder is flushed
/// too, so that the new file keeps its name through a power cut; on
/// failure the old file stays as it was. A symbolic link keeps pointing to
/// the file it names, which is replaced. Devices and pipes are written in
/// place without blocking on a pipe with no reader. A folder that takes no
/// new file but holds a writable one gets it truncated and written in
/// place, removed on failure. An empty path is an error.
void WriteWholeFile(const std::filesystem::path &path, std::span<const std::uint8_t> bytes);

/// Many files written as WriteWholeFile writes one, made durable together:
/// each file added goes to a temporary file beside its target; commit
/// flushes them all to disk as one (the file system's own flush where
/// there is one), moves them into place in the order added and flushes
/// each folder once. Devices, pipes and folders that take no new file are
/// written in their turn as WriteWholeFile writes them. A file not moved
/// into place when the batch ends is removed, never left under a name.
class FileBatch {
public:
    /// replace: whether a file already at a target is replaced. If not, it
    /// stays, and commit stops there with FileExistsError.
    explicit FileBatch(bool replace);
    ~FileBatch();
    FileBatch(const FileBatch &) = delete;
    FileBatch &operator=(const FileBatch &) = delete;

    /// Writes bytes for path (throws IoError, the batch's files before it
    /// still to commit).
    void add(const std::filesystem::path &path, std::span<const std::uint8_t> bytes);
    /// Puts every file added into place, or throws the first error.
    void commit();
    /// How many files, from the first added, are in place.
    [[nodiscard]] std::size_t written() const { return written_; }

    /// A file written and waiting to move into place, removed unless it
    /// moved (each platform's own).
    struct Pending;
    struct Discard {
        void operator()(Pending *file) const noexcept;
    };
    using PendingFile = std::unique_ptr<Pending, Discard>;

private:
    std::vector<PendingFile> pending_;
    bool replace_;
    std::size_t written_ = 0;
};

/// Renames from to to, replacing a file there when replace is set; else a
/// file at to stays, and FileExistsError is thrown.
void RenameFile(const std::filesystem::path &from, const std::filesystem::path &to, bool replace);

/// Removes a file, ignoring failure (for clean-up paths).
void RemoveFileQuietly(const std::filesystem::path &path) noexcept;

} // namespace tarvidon
