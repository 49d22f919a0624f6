#include "output.h"

#include "platform.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <vector>

namespace tarvidon::cli {

namespace {

constexpr std::size_t kFlushSize = std::size_t{1} << 20;

bool NeedsQuotes(std::string_view field)
{
    // Not find_first_of: it searches the four characters once for every
    // byte of the field, which made quoting the largest cost of a listing.
    return std::any_of(field.begin(), field.end(),
                       [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
}

// field after separator, quoted where it needs it.
void AppendCsvField(std::string &row, std::string_view field, std::string_view separator)
{
    row += separator;
    if (!NeedsQuotes(field)) {
        row += field;
        return;
    }
    row += '"';
    for (const char c : field) {
        if (c == '"')
            row += '"';
        row += c;
    }
    row += '"';
}

void WriteCsv(Output &out, const EngineState &state, std::span<const MatchIndex> indices)
{
    std::vector<std::string_view> header;
    for (const EntryField &field : kEntryFields)
        header.push_back(field.name);
    WriteCsvRecord(out, header);
    // A listing is mostly this loop: each row made in one buffer, kept from
    // row to row, and written whole.
    std::string row, text;
    for (const MatchIndex i : indices) {
        row.clear();
        for (const EntryField &field : kEntryFields) {
            text.clear();
            AppendFieldText(text, field, {state, i});
            AppendCsvField(row, text, &field == kEntryFields.data() ? "" : ",");
        }
        row += "\r\n";
        out << row;
    }
}

void WriteJson(Output &out, const EngineState &state, std::span<const MatchIndex> indices)
{
    WriteJsonArray(out, indices.size(), [&](std::size_t k) { return EntryJson({state, indices[k]}); });
    out << "\n";
}

void WriteTable(Output &out, const EngineState &state, std::span<const MatchIndex> indices)
{
    std::vector<Column> columns;
    for (const EntryField &field : kEntryFields)
        columns.push_back({field.heading, field.kind == EntryField::Kind::Number});
    WriteAlignedTable(out, columns, indices.size(), [&](std::size_t k) {
        std::vector<std::string> cells;
        for (const EntryField &field : kEntryFields)
            cells.push_back(FieldText(field, {state, indices[k]}));
        return cells;
    });
}

// A control character's code at text[at], and how many bytes it takes;
// 0 for any other character.
std::size_t ControlCharacterAt(std::string_view text, std::size_t at, std::uint8_t &code)
{
    const auto byte = static_cast<std::uint8_t>(text[at]);
    if (byte < 0x20 || byte == 0x7F) {
        code = byte;
        return 1;
    }
    // U+0080 to U+009F: 0xC2 then 0x80 to 0x9F.
    if (byte == 0xC2 && at + 1 < text.size() && (static_cast<std::uint8_t>(text[at + 1]) & 0xE0) == 0x80) {
        code = static_cast<std::uint8_t>(text[at + 1]);
        return 2;
    }
    return 0;
}

void Pad(Output &out, std::size_t width, std::size_t used)
{
    if (used < width)
        out << std::string(width - used, ' ');
}

} // namespace

void EscapeControlCharacters(std::string &text)
{
    std::string escaped;
    std::size_t plain = 0; // the first byte not yet in escaped
    for (std::size_t at = 0; at < text.size();) {
        std::uint8_t code = 0;
        const std::size_t length = ControlCharacterAt(text, at, code);
        if (length == 0) {
            ++at;
            continue;
        }
        escaped.append(text, plain, at - plain).append("\\x").append(ByteToHex(code));
        at += length;
        plain = at;
    }
    if (plain > 0) // most texts have nothing to escape and stay as they are
        text = escaped.append(text, plain);
}

void PrintMessage(std::string line)
{
    EscapeControlCharacters(line);
    std::fprintf(stderr, "tarvidon-cli: %s\n", line.c_str());
}

void WriteJsonArray(Output &out, std::size_t count, const std::function<nlohmann::ordered_json(std::size_t)> &element)
{
    out << "[";
    for (std::size_t k = 0; k < count; ++k)
        out << (k == 0 ? "\n" : ",\n") << element(k).dump();
    out << "\n]";
}

void WriteAlignedTable(Output &out, std::span<const Column> columns, std::size_t rows,
                       const std::function<std::vector<std::string>(std::size_t)> &row)
{
    std::vector<std::size_t> widths;
    for (const Column &column : columns)
        widths.push_back(column.header.size());
    const auto shownRow = [&](std::size_t k) {
        std::vector<std::string> cells = row(k);
        for (std::string &cell : cells)
            EscapeControlCharacters(cell);
        return cells;
    };
    for (std::size_t k = 0; k < rows; ++k) {
        const std::vector<std::string> cells = shownRow(k);
        for (std::size_t c = 0; c + 1 < columns.size(); ++c)
            widths[c] = std::max(widths[c], cells[c].size());
    }
    const auto writeLine = [&](const auto &cells) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::string_view cell = cells[c];
            const bool last = c + 1 == columns.size();
            if (columns[c].alignRight)
                Pad(out, widths[c], cell.size());
            out << cell;
            if (!last && !columns[c].alignRight)
                Pad(out, widths[c], cell.size());
            out << (last ? "\n" : "  ");
        }
    };
    std::vector<std::string_view> headers;
    for (const Column &column : columns)
        headers.push_back(column.header);
    writeLine(headers);
    for (std::size_t k = 0; k < rows; ++k)
        writeLine(shownRow(k));
}

Output::~Output() = default;

Output &Output::operator<<(std::string_view text)
{
    buffer_ += text;
    if (stream_ != nullptr && buffer_.size() >= kFlushSize)
        flush();
    return *this;
}

Output &Output::operator<<(std::int64_t number)
{
    AppendDecimal(buffer_, number);
    if (stream_ != nullptr && buffer_.size() >= kFlushSize)
        flush();
    return *this;
}

void Output::flush()
{
    if (stream_ == nullptr)
        return;
    if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size())
        throw Failure("stdout", IoErrorMessage(LastStreamError(), "stdout"));
    buffer_.clear();
}

void Output::finish()
{
    flush();
    if (stream_ != nullptr && std::fflush(stream_) != 0)
        throw Failure("stdout", IoErrorMessage(LastStreamError(), "stdout"));
}

void WriteCsvRecord(Output &out, std::span<const std::string_view> fields)
{
    std::string row;
    for (const std::string_view &field : fields)
        AppendCsvField(row, field, &field == fields.data() ? "" : ",");
    out << row << "\r\n";
}

void WriteEntries(Output &out, const EngineState &state, std::span<const MatchIndex> indices, Format format)
{
    switch (format) {
    case Format::Table:
        WriteTable(out, state, indices);
        break;
    case Format::Csv:
        WriteCsv(out, state, indices);
        break;
    case Format::Json:
        WriteJson(out, state, indices);
        break;
    }
}

} // namespace tarvidon::cli
