// tarvidon-cli: the catalogue engine from the command line.

#include "arguments.h"
#include "commands.h"
#include "output.h"
#include "platform.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <new>

namespace {

using namespace tarvidon;
using namespace tarvidon::cli;

void ReportFailure(const std::string &path, const std::string &message)
{
    PrintMessage(path + ": " + WithFullStop(message));
}

} // namespace

int tarvidon::cli::Main(int argc, char *argv[])
{
    CLI::App app("Lists, finds, shows and exports the records of a catalogue data file, identifies a dump "
                 "and compares two versions of a catalogue.", "tarvidon-cli");
    app.set_version_flag("--version", "tarvidon-cli " TARVIDON_VERSION);
    // On Windows CLI11 would read "/data/x.dat" as an option; paths come
    // first here, and every option is spelt with dashes. Subcommands copy it.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    Command command;
    AddListCommand(app, command);
    AddFindCommand(app, command);
    AddShowCommand(app, command);
    AddExportCommand(app, command);
    AddIdentifyCommand(app, command);
    AddDiffCommand(app, command);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        if (e.get_exit_code() == 0)
            return app.exit(e); // --help and --version, on stdout
        PrintMessage(WithFullStop(e.what()));
        std::fputs("Run with --help for more information.\n", stderr);
        return kExitError;
    }

    try {
        return command.run();
    } catch (const Failure &e) {
        ReportFailure(e.path(), e.what());
        if (!e.note().empty())
            PrintMessage(e.note());
    } catch (const std::bad_alloc &) {
        ReportFailure(command.subject, OutOfMemoryError().what());
    } catch (const std::exception &e) {
        ReportFailure(command.subject, e.what()); // what the system said, never an abort
    }
    return kExitError;
}
