#include "output.h"

#include "code_page.h"
#include "platform.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <vector>

namespace tarvidon::cli {

namespace {

constexpr std::size_t kFlushSize = std::size_t{1} << 20;

std::string Decimal(std::int64_t number)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    return std::string(digits, end);
}

void WriteCsvField(Output &out, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out << field;
        return;
    }
    out << "\"";
    for (std::size_t quote; (quote = field.find('"')) != std::string_view::npos; field.remove_prefix(quote + 1))
        out << field.substr(0, quote + 1) << "\"";
    out << field << "\"";
}

void WriteCsv(Output &out, const Catalogue &catalogue, std::span<const MatchIndex> indices)
{
    const std::string_view header[] = {"index", "image_offset", "product_number", "model_name"};
    WriteCsvRecord(out, header);
    for (const MatchIndex i : indices) {
        const CatalogueEntry entry = catalogue.Entry(i);
        const std::string index = Decimal(i), offset = Decimal(entry.ImageOffset);
        const std::string name = Cp1251ToUtf8(entry.ModelName);
        const std::string_view fields[] = {index, offset, entry.ProductNumber, name};
        WriteCsvRecord(out, fields);
    }
}

// One object a line inside one array, so that a long list streams out.
void WriteJson(Output &out, const Catalogue &catalogue, std::span<const MatchIndex> indices)
{
    out << "[";
    for (std::size_t k = 0; k < indices.size(); ++k) {
        const CatalogueEntry entry = catalogue.Entry(indices[k]);
        const nlohmann::ordered_json object = {{"index", indices[k]},
                                               {"image_offset", entry.ImageOffset},
                                               {"product_number", std::string(entry.ProductNumber)},
                                               {"model_name", Cp1251ToUtf8(entry.ModelName)}};
        out << (k == 0 ? "\n" : ",\n") << object.dump();
    }
    out << "\n]\n";
}

void Pad(Output &out, std::size_t width, std::size_t used)
{
    if (used < width)
        out << std::string(width - used, ' ');
}

void WriteTable(Output &out, const Catalogue &catalogue, std::span<const MatchIndex> indices)
{
    const std::string_view headers[] = {"Index", "Offset", "Product", "Model"};
    std::size_t indexWidth = headers[0].size(), offsetWidth = headers[1].size();
    for (const MatchIndex i : indices) {
        indexWidth = std::max(indexWidth, Decimal(i).size());
        offsetWidth = std::max(offsetWidth, Decimal(catalogue.Entry(i).ImageOffset).size());
    }
    const std::size_t productWidth = headers[2].size() + 1; // eight digits
    Pad(out, indexWidth, headers[0].size());
    out << headers[0] << "  ";
    Pad(out, offsetWidth, headers[1].size());
    out << headers[1] << "  " << headers[2];
    Pad(out, productWidth, headers[2].size());
    out << "  " << headers[3] << "\n";
    for (const MatchIndex i : indices) {
        const CatalogueEntry entry = catalogue.Entry(i);
        const std::string index = Decimal(i), offset = Decimal(entry.ImageOffset);
        Pad(out, indexWidth, index.size());
        out << index << "  ";
        Pad(out, offsetWidth, offset.size());
        out << offset << "  " << entry.ProductNumber;
        Pad(out, productWidth, entry.ProductNumber.size());
        out << "  " << Cp1251ToUtf8(entry.ModelName) << "\n";
    }
}

} // namespace

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
    return *this << std::string_view(Decimal(number));
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
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k > 0)
            out << ",";
        WriteCsvField(out, fields[k]);
    }
    out << "\r\n";
}

void WriteEntries(Output &out, const Catalogue &catalogue, std::span<const MatchIndex> indices, Format format)
{
    switch (format) {
    case Format::Table:
        WriteTable(out, catalogue, indices);
        break;
    case Format::Csv:
        WriteCsv(out, catalogue, indices);
        break;
    case Format::Json:
        WriteJson(out, catalogue, indices);
        break;
    }
}

} // namespace tarvidon::cli
