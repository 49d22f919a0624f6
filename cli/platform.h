#pragma once

// What differs between POSIX and Windows in the command line's own code:
// the entry point, the standard streams, terminals, process ids and making
// folders. One implementation per platform (platform_posix.cpp,
// platform_win32.cpp).

#include <filesystem>
#include <string>
#include <string_view>

namespace tarvidon::cli {

/// The program with UTF-8 arguments; the platform's entry point calls it.
int Main(int argc, char *argv[]);

/// A path from UTF-8 text (the command line's), never through the ANSI
/// code page that the narrow path constructor uses on Windows.
[[nodiscard]] inline std::filesystem::path PathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

/// path as UTF-8 text, for messages and names.
[[nodiscard]] inline std::string Utf8FromPath(const std::filesystem::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

/// True when standard error shows on a terminal (a console on Windows).
[[nodiscard]] bool StderrIsTerminal();

/// The system error number of the last failed write to a standard stream,
/// as IoErrorMessage takes it.
[[nodiscard]] int LastStreamError();

/// Creates folder and any missing parents; an existing folder is fine.
/// Throws IoError; a file in the way is "Invalid filename".
void CreateFolders(const std::filesystem::path &folder);

} // namespace tarvidon::cli
