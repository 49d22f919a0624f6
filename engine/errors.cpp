#include "errors.h"

namespace tarvidon {

IoError::IoError(int errorNumber, const std::string &message)
    : EngineError(message), errorNumber_(errorNumber)
{
}

ListIndexError::ListIndexError(std::int64_t index)
    : EngineError("List index out of bounds (" + std::to_string(index) + ")")
{
}

OutOfMemoryError::OutOfMemoryError() : EngineError("Out of memory") {}

std::string TableIoErrorMessage(int errorNumber)
{
    for (const IoErrorText &row : IoErrorTexts()) {
        if (row.errorNumber == errorNumber)
            return std::string(row.message);
    }
    return "I/O error " + std::to_string(errorNumber);
}

IoError MakeIoError(int errorNumber, const std::filesystem::path &path)
{
    return IoError(errorNumber, IoErrorMessage(errorNumber, path));
}

std::string WithFullStop(std::string_view message)
{
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

} // namespace tarvidon
