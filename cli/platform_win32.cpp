#include "platform.h"

#include "errors.h"

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace tarvidon::cli {

bool StderrIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int LastStreamError()
{
    return static_cast<int>(GetLastError());
}

namespace {

// The standard library may report the C library's numbers; the messages
// go by Windows's, and a file in the way of a folder is a bad name there.
int WindowsError(const std::error_code &error)
{
    if (error.category() == std::system_category())
        return error.value();
    switch (error.value()) {
    case EEXIST:
    case ENOTDIR:
    case ENOENT:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
        return ERROR_DISK_FULL;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace

void CreateFolders(const std::filesystem::path &folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw MakeIoError(WindowsError(error), folder);
}

namespace {

std::string Utf8FromWide(const wchar_t *text)
{
    const int length = static_cast<int>(wcslen(text));
    if (length == 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// UTF-8 bytes go out unchanged: no "\n" to "\r\n" in files and pipes, and
// a console shows them as UTF-8 until the program ends.
class Utf8StandardStreams {
public:
    Utf8StandardStreams() : consoleCodePage_(GetConsoleOutputCP())
    {
        _setmode(_fileno(stdout), _O_BINARY);
        _setmode(_fileno(stderr), _O_BINARY);
        if (consoleCodePage_ != 0)
            SetConsoleOutputCP(CP_UTF8);
    }
    ~Utf8StandardStreams()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        if (consoleCodePage_ != 0)
            SetConsoleOutputCP(consoleCodePage_);
    }
    Utf8StandardStreams(const Utf8StandardStreams &) = delete;
    Utf8StandardStreams &operator=(const Utf8StandardStreams &) = delete;

private:
    UINT consoleCodePage_; // 0 without a console
};

} // namespace

} // namespace tarvidon::cli

// The arguments arrive as UTF-16; the program takes them as UTF-8.
int wmain(int argc, wchar_t *argv[])
{
    const tarvidon::cli::Utf8StandardStreams streams;
    std::vector<std::string> arguments;
    for (int k = 0; k < argc; ++k)
        arguments.push_back(tarvidon::cli::Utf8FromWide(argv[k]));
    std::vector<char *> pointers;
    for (std::string &argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return tarvidon::cli::Main(argc, pointers.data());
}
