#pragma once

// The commands of tarvidon-cli. Each returns the exit status (0 done, 1 no
// match, or for diff: something differs) or throws Failure.

#include "catalogue.h"

#include <optional>
#include <stdexcept>
#include <string>

namespace tarvidon::cli {

inline constexpr int kExitMatch = 0;
inline constexpr int kExitNoMatch = 1;
inline constexpr int kExitError = 2;
// diff's, as diff(1) has them.
inline constexpr int kExitSame = 0;
inline constexpr int kExitDifferent = 1;

/// An error to report as "tarvidon-cli: PATH: Message." with exit status 2,
/// and a line of what was done before it, if anything.
class Failure : public std::runtime_error {
public:
    Failure(std::string path, const std::string &message, std::string note = {})
        : std::runtime_error(message), path_(std::move(path)), note_(std::move(note))
    {
    }
    [[nodiscard]] const std::string &path() const { return path_; }
    [[nodiscard]] const std::string &note() const { return note_; }

private:
    std::string path_;
    std::string note_;
};

enum class Format { Table, Csv, Json };

struct ListOptions {
    std::string file;
    Format format = Format::Table;
};

struct FindOptions {
    std::string file;
    std::optional<std::string> model;   // typed UTF-8 text
    std::optional<std::string> product;
    bool all = false;
    Format format = Format::Table;
};

/// One entry named by exact model name or by index.
struct EntryChoice {
    std::optional<std::string> model;
    std::optional<MatchIndex> index;
};

struct ShowOptions {
    std::string file;
    EntryChoice entry;
};

struct ExportOptions {
    std::string file;
    EntryChoice entry;
    std::optional<std::string> output;
};

struct BatchExportOptions {
    std::string file;
    std::optional<std::string> modelPrefix;
    std::optional<std::string> productPrefix;
    std::string dir;
    std::optional<std::string> manifest;
    bool overwrite = false;
};

struct IdentifyOptions {
    std::string file;
    std::string dump;
    std::optional<std::int64_t> nearest;
    Format format = Format::Table;
};

struct DiffOptions {
    std::string oldFile;
    std::string newFile;
    Format format = Format::Table;
};

int RunList(const ListOptions &options);
int RunFind(const FindOptions &options);
int RunShow(const ShowOptions &options);
int RunExport(const ExportOptions &options);
int RunBatchExport(const BatchExportOptions &options);
int RunIdentify(const IdentifyOptions &options);
int RunDiff(const DiffOptions &options);

// Shared by the commands.

/// Checks that file is there as the window does: the state to load it into,
/// or Failure with the window's message.
EngineState CheckFile(const std::string &file);

/// Checks, loads and scans file as the window does; Failure on any error.
[[nodiscard]] EngineState LoadCatalogue(const std::string &file);

/// Runs action, turning an engine error into a Failure about path.
template <typename Action>
decltype(auto) OnPath(const std::string &path, Action action)
{
    try {
        return action();
    } catch (const EngineError &e) {
        throw Failure(path, e.what());
    }
}

/// Typed text in the stored encoding. Text that Windows-1251 cannot hold
/// becomes "", which no lookup matches (names are never empty).
[[nodiscard]] std::string TypedText(const std::string &utf8);

/// The index that choice names: the first entry of that exact name, or the
/// index itself after a range check.
[[nodiscard]] MatchIndex ChosenEntry(const EngineState &state, const EntryChoice &choice);

} // namespace tarvidon::cli
