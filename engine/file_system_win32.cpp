// The file layer on Windows: wide-character Win32 calls, so that any name
// the file system holds can be used, whatever the ANSI code page.

#include <windows.h>

#include "file_system.h"
#include "save_steps.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace tarvidon {

namespace {

// Well below the DWORD that one ReadFile or WriteFile call can take.
constexpr DWORD kMaxChunk = DWORD{1} << 30;
// Tries at a free temporary name before the folder counts as taking none.
constexpr int kTemporaryNameTries = 100;

/// Owns a file handle and closes it unless close() was called.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(FileHandle &&other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    FileHandle &operator=(FileHandle &&other) noexcept
    {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    ~FileHandle()
    {
        if (valid())
            CloseHandle(handle_);
    }

    [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const { return handle_; }

    /// Closes now so the caller can check the result; false with
    /// GetLastError() on failure.
    bool close()
    {
        if (!valid())
            return true;
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

[[noreturn]] void ThrowLastError(const std::filesystem::path &path)
{
    throw MakeIoError(static_cast<int>(GetLastError()), path);
}

// Wildcards are never part of a file name on Windows, but the long-name
// prefixes \\?\ and \\.\ hold a "?" or "." of their own.
bool HasWildcard(std::wstring_view name)
{
    for (const std::wstring_view prefix : {L"\\\\?\\", L"\\\\.\\", L"\\??\\"}) {
        if (name.starts_with(prefix)) {
            name.remove_prefix(prefix.size());
            break;
        }
    }
    return name.find_first_of(L"*?") != std::wstring_view::npos;
}

// Only files on a disk have a size to read, and reading a pipe or a device
// could block or never end.
void RefuseAllButDiskFiles(const FileHandle &file, const std::filesystem::path &path)
{
    SetLastError(NO_ERROR);
    const DWORD type = GetFileType(file.get());
    if (type == FILE_TYPE_DISK)
        return;
    if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR)
        ThrowLastError(path);
    throw MakeIoError(ERROR_INVALID_PARAMETER, path);
}

// Shared for writing and deleting too: another program may keep the file
// open while we read it.
FileHandle OpenForReading(const std::filesystem::path &path)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid())
        ThrowLastError(path);
    return file;
}

std::int64_t DiskFileSize(const FileHandle &file, const std::filesystem::path &path)
{
    RefuseAllButDiskFiles(file, path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        ThrowLastError(path);
    return size.QuadPart;
}

// Reads into bytes until they are full or the file ends; how many came.
std::size_t ReadUpTo(const FileHandle &file, std::span<std::uint8_t> bytes, const std::filesystem::path &path)
{
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - filled, kMaxChunk));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + filled, want, &got, nullptr))
            ThrowLastError(path);
        if (got == 0)
            break;
        filled += got;
    }
    return filled;
}

void WriteAll(const FileHandle &file, std::span<const std::uint8_t> bytes, const std::filesystem::path &path)
{
    while (!bytes.empty()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kMaxChunk));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), want, &written, nullptr))
            ThrowLastError(path);
        if (written == 0)
            throw DiskFullError();
        bytes = bytes.subspan(written);
    }
}

// The file a symbolic link names, so that saving over the link replaces
// that file and leaves the link.
std::filesystem::path FileBehindLink(const FileHandle &file, const std::filesystem::path &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return path;
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(file.get(), name.data(), static_cast<DWORD>(name.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            ThrowLastError(path);
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        name.resize(length); // the size it needs, with its terminating zero
    }
}

// The attributes a replacement keeps: whether Explorer shows the file and
// what backups make of it. A read-only file was refused when opened.
DWORD KeptAttributes(const FileHandle &file, const std::filesystem::path &path)
{
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
        | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info))
        ThrowLastError(path);
    const DWORD kept = info.dwFileAttributes & kKept;
    return kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
}

// A new file of ours beside target, open for writing; invalid, with
// GetLastError(), when the folder takes none.
HANDLE CreateTemporaryBeside(const std::filesystem::path &target, DWORD attributes, std::filesystem::path &name)
{
    static std::atomic<unsigned> serial = 0;
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        name = target.parent_path()
            / (L".tarvidon-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(serial++) + L".tmp");
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

// Truncates path and writes it, for a folder that takes no temporary file
// or a file that another program holds open; without replace, only a new
// file.
void WriteInPlace(const std::filesystem::path &path, std::span<const std::uint8_t> bytes, bool replace)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                replace ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        if (!replace && GetLastError() == ERROR_FILE_EXISTS)
            throw FileExists(path);
        ThrowLastError(path);
    }
    const bool onDisk = GetFileType(file.get()) == FILE_TYPE_DISK;
    try {
        WriteAll(file, bytes, path);
        // Network and removable drives may only report a failed write here.
        if (onDisk && !FlushFileBuffers(file.get()))
            ThrowLastError(path);
        if (!file.close())
            ThrowLastError(path);
    } catch (const EngineError &) {
        // A short file is worse than none; devices and pipes are not ours
        // to remove.
        if (onDisk) {
            file.close();
            DeleteFileW(path.c_str());
        }
        throw;
    }
}

// What a save of path finds there: the file its links lead to and the
// attributes that a file replacing it keeps, none where no file is; or a
// device or pipe, open for writing, which is written as it is.
struct SaveTarget {
    std::filesystem::path name;
    std::optional<DWORD> oldAttributes;
    FileHandle device{INVALID_HANDLE_VALUE};
};

SaveTarget FindTarget(const std::filesystem::path &path)
{
    if (path.empty())
        throw MakeIoError(ERROR_PATH_NOT_FOUND, path);
    // On NTFS "name:rest" is a hidden stream of the file "name": the export
    // would seem written and be nowhere to find. A missing folder is still
    // reported as such by the open below.
    std::error_code ignored;
    const std::filesystem::path folder = path.parent_path();
    if (path.filename().native().find(L':') != std::wstring::npos
        && (folder.empty() || std::filesystem::is_directory(folder, ignored)))
        throw MakeIoError(ERROR_INVALID_NAME, path);

    // Opened without creating or truncating, to learn whether a file is
    // there, whether we may write it (another program may hold it) and
    // what it is.
    SaveTarget target{path, std::nullopt, FileHandle(INVALID_HANDLE_VALUE)};
    FileHandle existing(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!existing.valid()) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            ThrowLastError(path);
        return target;
    }
    // Devices and pipes are written as they are; nothing replaces them,
    // and flushing a pipe would wait for its reader.
    if (GetFileType(existing.get()) != FILE_TYPE_DISK) {
        target.device = std::move(existing);
        return target;
    }
    target.name = FileBehindLink(existing, path);
    target.oldAttributes = KeptAttributes(existing, path);
    if (!existing.close())
        ThrowLastError(path);
    return target;
}

} // namespace

FileExistsError FileExists(const std::filesystem::path &path)
{
    return FileExistsError(ERROR_FILE_EXISTS, IoErrorMessage(ERROR_FILE_EXISTS, path));
}

bool IsExistingNonFolder(const std::filesystem::path &path)
{
    if (path.empty() || HasWildcard(path.native()))
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

DataImage ReadWholeFile(const std::filesystem::path &path)
{
    FileHandle file = OpenForReading(path);
    const std::int64_t size = DiskFileSize(file, path);
    DataImage image = DataImage::Allocate(size);
    std::int64_t filled = 0;
    while (filled < size) {
        const DWORD want = static_cast<DWORD>(std::min<std::int64_t>(size - filled, kMaxChunk));
        DWORD got = 0;
        if (!ReadFile(file.get(), image.data() + filled, want, &got, nullptr))
            ThrowLastError(path);
        if (got == 0)
            throw ReadBeyondEndError(); // the file shrank while we read it
        filled += got;
    }
    if (!file.close())
        ThrowLastError(path);
    return image;
}

FileStart ReadFileStart(const std::filesystem::path &path, std::span<std::uint8_t> bytes)
{
    FileHandle file = OpenForReading(path);
    DiskFileSize(file, path); // refuses pipes and devices before any read
    const std::size_t read = ReadUpTo(file, bytes, path);
    const FileStart start{read, DiskFileSize(file, path)};
    if (!file.close())
        ThrowLastError(path);
    return start;
}

// A temporary file beside its target holding the bytes to save, not yet
// flushed or moved into place; removed unless it was moved. It keeps the
// bytes, to write them in place should another program hold the target.
struct FileBatch::Pending {
    std::filesystem::path name;
    std::filesystem::path target;
    std::filesystem::path path; // as the caller gave it, for messages
    std::optional<DWORD> oldAttributes;
    std::vector<std::uint8_t> bytes;
    FileHandle file{INVALID_HANDLE_VALUE};
    bool moved = false;

    Pending(const SaveTarget &target, std::span<const std::uint8_t> bytes, const std::filesystem::path &path)
        : target(target.name), path(path), oldAttributes(target.oldAttributes), bytes(bytes.begin(), bytes.end())
    {
    }
    Pending(const Pending &) = delete;
    Pending &operator=(const Pending &) = delete;
    ~Pending()
    {
        file.close();
        if (!moved)
            RemoveFileQuietly(name);
    }
};

void FileBatch::Discard::operator()(Pending *file) const noexcept
{
    delete file;
}

SaveStart BeginSave(const std::filesystem::path &path, std::span<const std::uint8_t> bytes, bool replace)
{
    auto target = std::make_shared<SaveTarget>(FindTarget(path));
    if (target->device.valid()) {
        // Written as it is, and not flushed: flushing a pipe would wait for its reader.
        return {nullptr, [=] {
                    WriteAll(target->device, bytes, path);
                    if (!target->device.close())
                        ThrowLastError(path);
                }, true};
    }
    FileBatch::PendingFile file(new FileBatch::Pending(*target, bytes, path));
    file->file = FileHandle(
        CreateTemporaryBeside(target->name, target->oldAttributes.value_or(FILE_ATTRIBUTE_NORMAL), file->name));
    if (!file->file.valid())
        return {nullptr, [=] { WriteInPlace(path, bytes, replace); }, false};
    WriteAll(file->file, bytes, path);
    return {std::move(file), nullptr, false};
}

void FlushAndClose(const std::vector<FileBatch::PendingFile> &files)
{
    // Windows flushes no file system at once for a program without
    // administrator rights: each file, once all are written.
    for (const auto &file : files) {
        if (!FlushFileBuffers(file->file.get()) || !file->file.close())
            ThrowLastError(file->path);
    }
}

std::filesystem::path MoveIntoPlace(FileBatch::Pending &file, bool replace)
{
    try {
        RenameFile(file.name, file.target, replace);
        file.moved = true;
    } catch (const IoError &error) {
        // Nothing moves over a file that another program holds open, even
        // one that lets us write it, as our open of it showed.
        const bool heldOpen = error.errorNumber() == ERROR_ACCESS_DENIED
            || error.errorNumber() == ERROR_SHARING_VIOLATION;
        if (!replace || !file.oldAttributes || !heldOpen)
            throw;
        WriteInPlace(file.path, file.bytes, true);
    }
    return file.target.parent_path();
}

void FlushFolder(const std::filesystem::path &)
{
    // Moves are written through (MOVEFILE_WRITE_THROUGH); a folder has no
    // flush of its own here.
}

void RenameFile(const std::filesystem::path &from, const std::filesystem::path &to, bool replace)
{
    const DWORD flags = (replace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH;
    if (MoveFileExW(from.c_str(), to.c_str(), flags))
        return;
    const DWORD error = GetLastError();
    if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
        throw FileExists(to);
    ThrowLastError(to);
}

void RemoveFileQuietly(const std::filesystem::path &path) noexcept
{
    DeleteFileW(path.c_str());
}

} // namespace tarvidon
