#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarvidon {

/// Base of every error the engine raises; what() is the text the user sees.
class EngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A failed file operation, carrying the system error number it came from.
class IoError : public EngineError {
public:
    IoError(int errorNumber, const std::string &message);
    [[nodiscard]] int errorNumber() const { return errorNumber_; }

private:
    int errorNumber_;
};

/// A file was found where a save that replaces nothing was to move its own.
class FileExistsError : public IoError {
public:
    using IoError::IoError;
};

/// An index that names no catalogue row ("List index out of bounds (N)").
class ListIndexError : public EngineError {
public:
    explicit ListIndexError(std::int64_t index);
};

/// A buffer for the data file could not be allocated.
class OutOfMemoryError : public EngineError {
public:
    OutOfMemoryError();
};

/// The user-facing text for a failed file operation with this system error
/// number (errno on POSIX, GetLastError() on Windows). On POSIX the path
/// decides between "File not found" and "Invalid filename" for ENOENT: a
/// missing folder is reported as a bad name rather than a missing file.
[[nodiscard]] std::string IoErrorMessage(int errorNumber, const std::filesystem::path &path);

/// Builds the IoError for a system error number after an operation on path failed.
[[nodiscard]] IoError MakeIoError(int errorNumber, const std::filesystem::path &path);

/// One row of this platform's table of error numbers; a number in no row
/// is shown as "I/O error N".
struct IoErrorText {
    int errorNumber;
    std::string_view message;
};
[[nodiscard]] std::span<const IoErrorText> IoErrorTexts();
/// The text of errorNumber's row in that table, else "I/O error N".
[[nodiscard]] std::string TableIoErrorMessage(int errorNumber);

/// Raised when fewer bytes were written than asked, without an error number.
[[nodiscard]] IoError DiskFullError();

/// Raised when a file ended before the bytes it promised were read.
[[nodiscard]] IoError ReadBeyondEndError();

/// A message as the user sees it: with a full stop added when its last
/// byte sorts after "." ("File not found." but "Stop!" and "(3)" as they are).
[[nodiscard]] std::string WithFullStop(std::string_view message);

} // namespace tarvidon
