#include "errors.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace tarvidon {

namespace {

// True when the folder part of path names no existing folder.
bool FolderIsMissing(const std::string &path)
{
    if (path.empty())
        return true;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty())
        return false; // the current folder
    std::error_code ignored;
    return !std::filesystem::is_directory(folder, ignored);
}

} // namespace

IoError::IoError(int errorNumber, const std::string &message)
    : EngineError(message), errorNumber_(errorNumber)
{
}

ListIndexError::ListIndexError(std::int64_t index)
    : EngineError("List index out of bounds (" + std::to_string(index) + ")")
{
}

OutOfMemoryError::OutOfMemoryError() : EngineError("Out of memory") {}

std::string IoErrorMessage(int errorNumber, const std::string &path)
{
    switch (errorNumber) {
    case ENOENT:
        return FolderIsMissing(path) ? "Invalid filename" : "File not found";
    case ENOTDIR:
        return "Invalid filename";
    case EMFILE:
    case ENFILE:
        return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: // writing over a folder is refused like any protected name
        return "File access denied";
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(errorNumber);
    }
}

IoError MakeIoError(int errorNumber, const std::string &path)
{
    return IoError(errorNumber, IoErrorMessage(errorNumber, path));
}

IoError DiskFullError()
{
    return IoError(ENOSPC, "Disk full");
}

IoError ReadBeyondEndError()
{
    return IoError(0, "Read beyond end of file");
}

std::string WithFullStop(std::string_view message)
{
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

} // namespace tarvidon
