// The file layer on Windows: wide-character Win32 calls, so that any name
// the file system holds can be used, whatever the ANSI code page.

#include <windows.h>

#include "file_system.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

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

// Writes bytes to a temporary file beside target, flushes it to disk and
// moves it over target: target is the old file or the new one, never a
// part. oldAttributes are those of the file replaced, none for a new one.
// False, with nothing changed, when the folder takes no new file or
// another program holds target open.
bool ReplaceThroughTemporary(const std::filesystem::path &target, std::span<const std::uint8_t> bytes,
                             std::optional<DWORD> oldAttributes, const std::filesystem::path &path)
{
    std::filesystem::path name;
    FileHandle temporary(CreateTemporaryBeside(target, oldAttributes.value_or(FILE_ATTRIBUTE_NORMAL), name));
    if (!temporary.valid())
        return false;
    try {
        WriteAll(temporary, bytes, path);
        if (!FlushFileBuffers(temporary.get()) || !temporary.close())
            ThrowLastError(path);
    } catch (const EngineError &) {
        temporary.close();
        RemoveFileQuietly(name);
        throw;
    }
    try {
        ReplaceFile(name, target);
    } catch (const IoError &error) {
        RemoveFileQuietly(name);
        // Nothing moves over a file that another program holds open, even
        // one that lets us write it, as our open of it showed.
        const bool heldOpen = error.errorNumber() == ERROR_ACCESS_DENIED
            || error.errorNumber() == ERROR_SHARING_VIOLATION;
        if (!oldAttributes || !heldOpen)
            throw;
        return false;
    }
    return true;
}

// Truncates path and writes it, for a folder that takes no temporary file
// or a file that another program holds open.
void WriteInPlace(const std::filesystem::path &path, std::span<const std::uint8_t> bytes)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        ThrowLastError(path);
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

} // namespace

bool IsExistingNonFolder(const std::filesystem::path &path)
{
    if (path.empty() || HasWildcard(path.native()))
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

DataImage ReadWholeFile(const std::filesystem::path &path)
{
    // Shared for writing and deleting too: another program may keep the
    // file open while we read it.
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid())
        ThrowLastError(path);
    RefuseAllButDiskFiles(file, path);

    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        ThrowLastError(path);
    DataImage image = DataImage::Allocate(size.QuadPart);
    std::int64_t filled = 0;
    while (filled < size.QuadPart) {
        const DWORD want = static_cast<DWORD>(std::min<std::int64_t>(size.QuadPart - filled, kMaxChunk));
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

void WriteWholeFile(const std::filesystem::path &path, std::span<const std::uint8_t> bytes)
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
    FileHandle existing(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!existing.valid() && GetLastError() != ERROR_FILE_NOT_FOUND)
        ThrowLastError(path);
    std::filesystem::path target = path;
    std::optional<DWORD> attributes;
    if (existing.valid()) {
        // Devices and pipes are written as they are; nothing replaces them,
        // and flushing a pipe would wait for its reader.
        if (GetFileType(existing.get()) != FILE_TYPE_DISK) {
            WriteAll(existing, bytes, path);
            if (!existing.close())
                ThrowLastError(path);
            return;
        }
        target = FileBehindLink(existing, path);
        attributes = KeptAttributes(existing, path);
        if (!existing.close())
            ThrowLastError(path);
    }
    if (!ReplaceThroughTemporary(target, bytes, attributes, path))
        WriteInPlace(path, bytes);
}

void ReplaceFile(const std::filesystem::path &from, const std::filesystem::path &to)
{
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ThrowLastError(to);
}

void RemoveFileQuietly(const std::filesystem::path &path) noexcept
{
    DeleteFileW(path.c_str());
}

} // namespace tarvidon
