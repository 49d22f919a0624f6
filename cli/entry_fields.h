#pragma once

// The fields of a catalogue entry as every output of tarvidon-cli writes
// them, declared once: each writer walks this list.

#include "catalogue.h"

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvidon::cli {

/// An entry, with the state that holds it: its catalogue and image bytes.
struct EntryOf {
    const EngineState &state;
    MatchIndex index;
};

struct EntryField {
    enum class Kind {
        Number, // right-aligned in tables, a number in JSON
        Text,
        Name, // the model name: last in tables, and what diff pairs records by
    };
    std::string_view name;    // in CSV headers, as a JSON key
    std::string_view heading; // in tables
    Kind kind;
    bool inDiffRows; // shown for each side of a difference in diff's CSV and table
    std::int64_t (*number)(const EntryOf &);           // a Number's value
    void (*appendText)(std::string &, const EntryOf &); // a Text's or the Name's, in UTF-8
};

/// index, image_offset, product_number, model_name.
extern const std::array<EntryField, 4> kEntryFields;

/// number in decimal, appended to text: every number the CLI prints.
void AppendDecimal(std::string &text, std::int64_t number);
[[nodiscard]] std::string Decimal(std::int64_t number);

/// The field's text (a number in decimal), appended to text.
void AppendFieldText(std::string &text, const EntryField &field, const EntryOf &entry);
[[nodiscard]] std::string FieldText(const EntryField &field, const EntryOf &entry);

/// The entry's fields as a JSON object, in their order; without the name
/// where the name is given once for two entries (diff).
[[nodiscard]] nlohmann::ordered_json EntryJson(const EntryOf &entry, bool withName = true);

} // namespace tarvidon::cli
