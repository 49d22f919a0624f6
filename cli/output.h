#pragma once

// Writing results to standard output in the chosen format.

#include "catalogue.h"
#include "commands.h"

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

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

/// CSV fields, quoted as RFC 4180 asks, one record ended by CRLF.
void WriteCsvRecord(Output &out, std::span<const std::string_view> fields);

/// Entries (index, image offset, product number, model name) in format.
void WriteEntries(Output &out, const Catalogue &catalogue, std::span<const MatchIndex> indices, Format format);

} // namespace tarvidon::cli
