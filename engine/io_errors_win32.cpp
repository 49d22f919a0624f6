// Error numbers on Windows: GetLastError() values.

#include "errors.h"

#include <windows.h>

namespace tarvidon {

namespace {

constexpr IoErrorText kIoErrorTexts[] = {
    {ERROR_FILE_NOT_FOUND, "File not found"},          // 2
    {ERROR_PATH_NOT_FOUND, "Invalid filename"},        // 3: a missing folder
    {ERROR_TOO_MANY_OPEN_FILES, "Too many open files"}, // 4
    {ERROR_ACCESS_DENIED, "File access denied"},       // 5
    {ERROR_SHARING_VIOLATION, "File access denied"},   // 32: another program holds it
    {ERROR_HANDLE_EOF, "Read beyond end of file"},     // 38
    {ERROR_HANDLE_DISK_FULL, "Disk full"},             // 39
    {ERROR_DISK_FULL, "Disk full"},                    // 112
};

} // namespace

std::span<const IoErrorText> IoErrorTexts()
{
    return kIoErrorTexts;
}

std::string IoErrorMessage(int errorNumber, const std::filesystem::path &)
{
    return TableIoErrorMessage(errorNumber);
}

IoError DiskFullError()
{
    return IoError(ERROR_DISK_FULL, "Disk full");
}

IoError ReadBeyondEndError()
{
    return IoError(ERROR_HANDLE_EOF, "Read beyond end of file");
}

} // namespace tarvidon
