#pragma once

// Running the built tarvidon-cli as a user would, and reading back what it
// wrote.

#include "catalogue.h"

#include <functional>
#include <string>
#include <vector>

namespace tarvidon::test {

struct CliResult {
    int exitCode = -1; // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

struct CliOptions {
    std::string workingDir; // empty: the test's own
    /// POSIX only: runs in the child just before the program starts
    /// (resource limits, other privileges, other standard streams).
    std::function<void()> inChild;
};

[[nodiscard]] inline CliOptions InFolder(std::string folder)
{
    CliOptions options;
    options.workingDir = std::move(folder);
    return options;
}

/// Runs tarvidon-cli with args, its input empty, and waits for it; it is
/// killed after 30 s.
CliResult RunCli(const std::vector<std::string> &args, const CliOptions &options = {});

/// The records of an RFC 4180 CSV text, quoted fields unquoted.
std::vector<std::vector<std::string>> ParseCsv(const std::string &text);

/// Entry i as the commands print it, names in UTF-8.
struct PrintedEntry {
    MatchIndex index;
    std::int64_t imageOffset;
    std::string productNumber;
    std::string modelName;
    bool operator==(const PrintedEntry &) const = default;
};
PrintedEntry Printed(const Catalogue &catalogue, MatchIndex i);

} // namespace tarvidon::test
