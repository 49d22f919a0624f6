#include "platform.h"

#include "errors.h"

#include <cerrno>
#include <csignal>
#include <system_error>

#include <unistd.h>

namespace tarvidon::cli {

bool StderrIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

int LastStreamError()
{
    return errno;
}

void CreateFolders(const std::filesystem::path &folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw MakeIoError(error.value() == EEXIST ? ENOTDIR : error.value(), folder);
}

} // namespace tarvidon::cli

int main(int argc, char *argv[])
{
    // A file-size limit then fails the write ("Disk full") instead of
    // killing us half-way through a file.
    std::signal(SIGXFSZ, SIG_IGN);
    return tarvidon::cli::Main(argc, argv);
}
