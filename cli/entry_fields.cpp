#include "entry_fields.h"

#include "code_page.h"

#include <nlohmann/json.hpp>

#include <charconv>

namespace tarvidon::cli {

namespace {

CatalogueEntry EntryAt(const EntryOf &entry)
{
    return entry.state.Catalogue.Entry(entry.index);
}

} // namespace

const std::array<EntryField, 4> kEntryFields = {{
    {"index", "Index", EntryField::Kind::Number, true, [](const EntryOf &e) { return e.index; }, nullptr},
    {"image_offset", "Offset", EntryField::Kind::Number, false,
     [](const EntryOf &e) { return EntryAt(e).ImageOffset; }, nullptr},
    {"product_number", "Product", EntryField::Kind::Text, true, nullptr,
     [](std::string &text, const EntryOf &e) { text += EntryAt(e).ProductNumber; }},
    {"model_name", "Model", EntryField::Kind::Name, false, nullptr,
     [](std::string &text, const EntryOf &e) { AppendCp1251AsUtf8(text, EntryAt(e).ModelName); }},
}};

void AppendDecimal(std::string &text, std::int64_t number)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text.append(digits, end);
}

std::string Decimal(std::int64_t number)
{
    std::string text;
    AppendDecimal(text, number);
    return text;
}

void AppendFieldText(std::string &text, const EntryField &field, const EntryOf &entry)
{
    if (field.kind == EntryField::Kind::Number)
        AppendDecimal(text, field.number(entry));
    else
        field.appendText(text, entry);
}

std::string FieldText(const EntryField &field, const EntryOf &entry)
{
    std::string text;
    AppendFieldText(text, field, entry);
    return text;
}

nlohmann::ordered_json EntryJson(const EntryOf &entry, bool withName)
{
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const EntryField &field : kEntryFields) {
        if (field.kind == EntryField::Kind::Number)
            object[std::string(field.name)] = field.number(entry);
        else if (withName || field.kind != EntryField::Kind::Name)
            object[std::string(field.name)] = FieldText(field, entry);
    }
    return object;
}

} // namespace tarvidon::cli
