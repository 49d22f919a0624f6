#include "cli_support.h"

#include "code_page.h"

#include <cerrno>
#include <stdexcept>

#ifdef _WIN32
#include <functional>
#include <thread>

#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarvidon::test {

namespace {

constexpr unsigned kTimeoutSeconds = 30;

#ifdef _WIN32

std::wstring Wide(const std::string &utf8)
{
    if (utf8.empty())
        return {};
    const int length = static_cast<int>(utf8.size());
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (size <= 0)
        throw std::runtime_error("not UTF-8: " + utf8);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(), size);
    return wide;
}

// One argument as the C runtime's parser reads it back: quoted when it is
// empty or holds blanks or quotes, backslashes doubled before a quote.
std::wstring Quoted(const std::wstring &argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

// Closes the handle when it goes.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { reset(); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    [[nodiscard]] HANDLE get() const { return handle_; }
    HANDLE *out() { return &handle_; }
    void reset()
    {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

// A pipe whose write end the child inherits.
void ChildPipe(Handle &read, Handle &write)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(read.out(), write.out(), &inheritable, 0)
        || !SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0))
        throw std::runtime_error("CreatePipe failed");
}

void ReadAll(HANDLE pipe, std::string &text)
{
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
}

#else

void Pipe(int ends[2])
{
    if (pipe(ends) != 0)
        throw std::runtime_error("pipe failed");
}

#endif

} // namespace

#ifdef _WIN32

CliResult RunCli(const std::vector<std::string> &args, const CliOptions &options)
{
    if (options.inChild)
        throw std::logic_error("inChild is for POSIX only");
    Handle outRead, outWrite, errRead, errWrite;
    ChildPipe(outRead, outWrite);
    ChildPipe(errRead, errWrite);
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle nothing(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                               0, nullptr));
    if (nothing.get() == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open NUL");

    const std::wstring program = Wide(TARVIDON_CLI_PATH);
    std::wstring commandLine = Quoted(program);
    for (const std::string &arg : args)
        commandLine += L" " + Quoted(Wide(arg));
    const std::wstring workingDir = Wide(options.workingDir);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing.get();
    startup.hStdOutput = outWrite.get();
    startup.hStdError = errWrite.get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &process))
        throw std::runtime_error("CreateProcessW failed: " + std::to_string(GetLastError()));
    Handle child(process.hProcess);
    CloseHandle(process.hThread);
    // Only the child holds the write ends now, so the reads end with it.
    outWrite.reset();
    errWrite.reset();
    nothing.reset();

    // One reader each: a child that fills one pipe while we wait on the
    // other would block for good.
    CliResult result;
    std::thread outReader(ReadAll, outRead.get(), std::ref(result.out));
    std::thread errReader(ReadAll, errRead.get(), std::ref(result.err));
    const bool exited = WaitForSingleObject(child.get(), kTimeoutSeconds * 1000) == WAIT_OBJECT_0;
    if (!exited) {
        TerminateProcess(child.get(), 1);
        WaitForSingleObject(child.get(), INFINITE);
    }
    outReader.join();
    errReader.join();
    DWORD exitCode = 0;
    if (exited && GetExitCodeProcess(child.get(), &exitCode))
        result.exitCode = static_cast<int>(exitCode);
    return result;
}

#else

CliResult RunCli(const std::vector<std::string> &args, const CliOptions &options)
{
    int out[2], err[2];
    Pipe(out);
    Pipe(err);
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        const int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {nothing, out[0], out[1], err[0], err[1]})
            close(fd);
        if (!options.workingDir.empty() && chdir(options.workingDir.c_str()) != 0)
            _exit(127);
        if (options.inChild)
            options.inChild();
        alarm(kTimeoutSeconds); // survives exec: a program that blocks dies
        std::vector<char *> argv{const_cast<char *>(TARVIDON_CLI_PATH)};
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(TARVIDON_CLI_PATH, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);

    CliResult result;
    pollfd streams[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *texts[2] = {&result.out, &result.err};
    for (int open = 2; open > 0;) {
        if (poll(streams, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("poll failed");
        }
        for (int k = 0; k < 2; ++k) {
            if (streams[k].fd < 0 || streams[k].revents == 0)
                continue;
            char buffer[65536];
            const ssize_t got = read(streams[k].fd, buffer, sizeof buffer);
            if (got > 0) {
                texts[k]->append(buffer, static_cast<std::size_t>(got));
            } else {
                close(streams[k].fd);
                streams[k].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

#endif

std::vector<std::vector<std::string>> ParseCsv(const std::string &text)
{
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (k + 1 < text.size() && text[k + 1] == '"')
                field += text[++k];
            else
                quoted = false;
        } else if (c == '"') {
            if (!field.empty())
                throw std::runtime_error("a quote inside an unquoted CSV field");
            quoted = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
        } else if (c == '\r' && k + 1 < text.size() && text[k + 1] == '\n') {
            ++k;
            record.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(record));
            record.clear();
        } else if (c == '\r' || c == '\n') {
            throw std::runtime_error("a line break in an unquoted CSV field");
        } else {
            field += c;
        }
    }
    if (quoted || !field.empty() || !record.empty())
        throw std::runtime_error("CSV does not end with a whole record");
    return records;
}

PrintedEntry Printed(const Catalogue &catalogue, MatchIndex i)
{
    const CatalogueEntry entry = catalogue.Entry(i);
    return {i, entry.ImageOffset, std::string(entry.ProductNumber), Cp1251ToUtf8(entry.ModelName)};
}

} // namespace tarvidon::test
