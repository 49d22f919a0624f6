#pragma once

// What the subcommands' declarations share: the command chosen, and the
// options that several of them take. Each command declares its own
// subcommand beside its handler.

#include "commands.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>

namespace tarvidon::cli {

/// What the subcommand given on the command line runs, and the file that a
/// failure without a path of its own is about.
struct Command {
    std::function<int()> run;
    std::string subject;
};

/// Declares a subcommand whose options live in a new Options, shared by
/// the declaration and the callback: given on the command line, it makes
/// run(options) the command, about the file subject(options) names.
template <typename Options, typename Run, typename Subject>
std::pair<CLI::App *, std::shared_ptr<Options>> AddCommand(CLI::App &app, Command &command, const char *name,
                                                          const char *description, Run run, Subject subject)
{
    auto options = std::make_shared<Options>();
    CLI::App *sub = app.add_subcommand(name, description);
    sub->callback([&command, options, run, subject] {
        command.subject = subject(*options);
        command.run = [options, run] { return run(*options); };
    });
    return {sub, options};
}

/// The data file, first of the arguments.
void AddFile(CLI::App &command, std::string &file);
/// --format table|csv|json.
void AddFormat(CLI::App &command, Format &format);
/// Exactly one of --model NAME and --index I, in a group that more options
/// can join.
CLI::Option_group *AddEntryChoice(CLI::App &command, EntryChoice &choice);

// Each command's subcommand, declared beside its handler.
void AddListCommand(CLI::App &app, Command &command);
void AddFindCommand(CLI::App &app, Command &command);
void AddShowCommand(CLI::App &app, Command &command);
void AddExportCommand(CLI::App &app, Command &command);
void AddIdentifyCommand(CLI::App &app, Command &command);
void AddDiffCommand(CLI::App &app, Command &command);

} // namespace tarvidon::cli
