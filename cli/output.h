#pragma once

// Writing results to standard output in the chosen format.

#include "catalogue.h"
#include "commands.h"
#include "entry_fields.h"

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvidon::cli {

/// Collects output and writes it in large blocks; Failure("stdout", ...)
/// when a write fails. Without a stream it keeps everything in text().
class Output {
public:
    explicit Output(std::FILE *stream = nullptr) : stream_(stream) {}
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    Output &operator<<(std::string_view text);
    Output &operator<<(std::int64_t number);
    /// Writes what is left and checks that the stream took it.
    void finish();
    /// All output so far, when there is no stream.
    [[nodiscard]] const std::string &text() const { return buffer_; }

private:
    void flush();
    std::FILE *stream_;
    std::string buffer_;
};

/// Writes each control character of text (C0, DEL, and C1 as UTF-8 gives
/// it) as \xHH, its code in hex, so that a name from a data file can never
/// move the cursor, recolour or retitle the terminal. Tables and messages
/// are for people and show text this way; CSV and JSON are data and keep
/// every byte.
void EscapeControlCharacters(std::string &text);

/// "tarvidon-cli: " and line, its control characters escaped, on standard
/// error: every message of the program.
void PrintMessage(std::string line);

/// CSV fields, quoted as RFC 4180 asks, one record ended by CRLF.
void WriteCsvRecord(Output &out, std::span<const std::string_view> fields);

/// Entries with every field of kEntryFields, in format.
void WriteEntries(Output &out, const EngineState &state, std::span<const MatchIndex> indices, Format format);

/// A JSON array of count elements, one a line so that a long one streams
/// out; no line break after the closing bracket.
void WriteJsonArray(Output &out, std::size_t count, const std::function<nlohmann::ordered_json(std::size_t)> &element);

/// A column of a table for people.
struct Column {
    std::string_view header;
    bool alignRight = false; // numbers
};

/// A header line and one line per row, columns two spaces apart and each as
/// wide as its widest cell; the last column (names) is left unpadded.
/// row(k) gives the cells of row k; it is asked twice, for widths first.
void WriteAlignedTable(Output &out, std::span<const Column> columns, std::size_t rows,
                       const std::function<std::vector<std::string>(std::size_t)> &row);

} // namespace tarvidon::cli
