// Error numbers on POSIX systems: errno values.

#include "errors.h"

#include <cerrno>
#include <system_error>

namespace tarvidon {

namespace {

constexpr IoErrorText kIoErrorTexts[] = {
    {ENOENT, "File not found"}, // or a bad name, see IoErrorMessage
    {ENOTDIR, "Invalid filename"},
    {EMFILE, "Too many open files"},
    {ENFILE, "Too many open files"},
    {EACCES, "File access denied"},
    {EPERM, "File access denied"},
    {EROFS, "File access denied"},
    {EISDIR, "File access denied"}, // writing over a folder is refused like any protected name
    {ENOSPC, "Disk full"},
    {EDQUOT, "Disk full"},
    {EFBIG, "Disk full"},
};

// True when the folder part of path names no existing folder.
bool FolderIsMissing(const std::filesystem::path &path)
{
    if (path.empty())
        return true;
    const std::filesystem::path folder = path.parent_path();
    if (folder.empty())
        return false; // the current folder
    std::error_code ignored;
    return !std::filesystem::is_directory(folder, ignored);
}

} // namespace

std::span<const IoErrorText> IoErrorTexts()
{
    return kIoErrorTexts;
}

std::string IoErrorMessage(int errorNumber, const std::filesystem::path &path)
{
    if (errorNumber == ENOENT && FolderIsMissing(path))
        return TableIoErrorMessage(ENOTDIR);
    return TableIoErrorMessage(errorNumber);
}

IoError DiskFullError()
{
    return IoError(ENOSPC, "Disk full");
}

IoError ReadBeyondEndError()
{
    return IoError(0, "Read beyond end of file");
}

} // namespace tarvidon
