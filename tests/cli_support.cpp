#include "cli_support.h"

#include "codec.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tarvidon::test {

namespace {

constexpr unsigned kTimeoutSeconds = 30;

void Pipe(int ends[2])
{
    if (pipe(ends) != 0)
        throw std::runtime_error("pipe failed");
}

} // namespace

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
    return {i, entry.ImageOffset, std::string(entry.ProductNumber), cli::Cp1251ToUtf8(entry.ModelName)};
}

} // namespace tarvidon::test
