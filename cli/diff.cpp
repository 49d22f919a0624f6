// diff: what changed between two versions of a catalogue.

#include "arguments.h"
#include "commands.h"
#include "comparison.h"
#include "output.h"
#include "platform.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <tuple>

namespace tarvidon::cli {

namespace {

struct States {
    const EngineState &before;
    const EngineState &after;
};

// The fields shown for each side of a difference in CSV and table rows.
std::vector<const EntryField *> SideFields()
{
    std::vector<const EntryField *> fields;
    for (const EntryField &field : kEntryFields) {
        if (field.inDiffRows)
            fields.push_back(&field);
    }
    return fields;
}

const EntryField &NameField()
{
    return *std::find_if(kEntryFields.begin(), kEntryFields.end(),
                         [](const EntryField &field) { return field.kind == EntryField::Kind::Name; });
}

// One difference as printed: each side's fields, empty where a side is
// missing, old first.
struct Row {
    std::string change, name, occurrence;
    std::vector<std::string> sides;
    std::string differing;
};

Row RowOf(const States &states, std::string_view change, const RecordChange &record)
{
    const bool hasOld = record.oldIndex != kNoMatch, hasNew = record.newIndex != kNoMatch;
    const EntryOf named = hasOld ? EntryOf{states.before, record.oldIndex} : EntryOf{states.after, record.newIndex};
    Row row{std::string(change), FieldText(NameField(), named), Decimal(record.occurrence), {}, {}};
    for (const auto &[state, index, present] : {std::tuple{&states.before, record.oldIndex, hasOld},
                                                std::tuple{&states.after, record.newIndex, hasNew}}) {
        for (const EntryField *field : SideFields())
            row.sides.push_back(present ? FieldText(*field, {*state, index}) : std::string());
    }
    if (hasOld && hasNew)
        row.differing = Decimal(record.differingBytes);
    return row;
}

// Every difference in the order of the JSON object: added, removed, changed.
class Rows {
public:
    Rows(const States &states, const CatalogueChanges &changes) : states_(states), changes_(changes) {}

    [[nodiscard]] std::size_t size() const
    {
        return changes_.added.size() + changes_.removed.size() + changes_.changed.size();
    }

    [[nodiscard]] Row operator[](std::size_t k) const
    {
        if (k < changes_.added.size())
            return RowOf(states_, "added", changes_.added[k]);
        k -= changes_.added.size();
        if (k < changes_.removed.size())
            return RowOf(states_, "removed", changes_.removed[k]);
        return RowOf(states_, "changed", changes_.changed[k - changes_.removed.size()]);
    }

private:
    const States &states_;
    const CatalogueChanges &changes_;
};

void WriteCsv(Output &out, const Rows &rows)
{
    std::vector<std::string> header{"change", std::string(NameField().name), "occurrence"};
    for (const std::string_view side : {"old_", "new_"}) {
        for (const EntryField *field : SideFields())
            header.push_back(std::string(side) + std::string(field->name));
    }
    header.push_back("differing_bytes");
    WriteCsvRecord(out, std::vector<std::string_view>(header.begin(), header.end()));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const Row row = rows[k];
        std::vector<std::string_view> record{row.change, row.name, row.occurrence};
        record.insert(record.end(), row.sides.begin(), row.sides.end());
        record.push_back(row.differing);
        WriteCsvRecord(out, record);
    }
}

void WriteTable(Output &out, const Rows &rows)
{
    std::vector<std::string> headings; // kept alive for the columns' views
    for (const std::string_view side : {"Old ", "New "}) {
        for (const EntryField *field : SideFields()) {
            std::string heading(field->heading);
            heading.front() = static_cast<char>(std::tolower(static_cast<unsigned char>(heading.front())));
            headings.push_back(std::string(side) + heading);
        }
    }
    std::vector<Column> columns{{"Change"}};
    for (std::size_t k = 0; k < headings.size(); ++k)
        columns.push_back({headings[k], SideFields()[k % SideFields().size()]->kind == EntryField::Kind::Number});
    columns.insert(columns.end(), {{"Differing", true}, {"Occurrence", true}, {NameField().heading}});
    const auto orDash = [](const std::string &cell) { return cell.empty() ? std::string("-") : cell; };
    WriteAlignedTable(out, columns, rows.size(), [&](std::size_t k) {
        const Row row = rows[k];
        std::vector<std::string> cells{row.change};
        std::transform(row.sides.begin(), row.sides.end(), std::back_inserter(cells), orDash);
        cells.insert(cells.end(), {orDash(row.differing), row.occurrence, row.name});
        return cells;
    });
}

void WriteJson(Output &out, const States &states, const CatalogueChanges &changes)
{
    out << "{\"added\": ";
    WriteJsonArray(out, changes.added.size(),
                   [&](std::size_t k) { return EntryJson({states.after, changes.added[k].newIndex}); });
    out << ",\n\"removed\": ";
    WriteJsonArray(out, changes.removed.size(),
                   [&](std::size_t k) { return EntryJson({states.before, changes.removed[k].oldIndex}); });
    out << ",\n\"changed\": ";
    WriteJsonArray(out, changes.changed.size(), [&](std::size_t k) {
        const RecordChange &change = changes.changed[k];
        const EntryOf before{states.before, change.oldIndex}, after{states.after, change.newIndex};
        return nlohmann::ordered_json{{std::string(NameField().name), FieldText(NameField(), before)},
                                      {"occurrence", change.occurrence},
                                      {"old", EntryJson(before, false)},
                                      {"new", EntryJson(after, false)},
                                      {"differing_bytes", change.differingBytes}};
    });
    out << "}\n";
}

} // namespace

int RunDiff(const DiffOptions &options)
{
    const EngineState before = LoadCatalogue(options.oldFile);
    const EngineState after = LoadCatalogue(options.newFile);
    const CatalogueChanges changes = OnPath(options.newFile, [&] { return CompareCatalogues(before, after); });
    const States states{before, after};
    const Rows rows(states, changes);
    Output out(stdout);
    switch (options.format) {
    case Format::Table:
        WriteTable(out, rows);
        break;
    case Format::Csv:
        WriteCsv(out, rows);
        break;
    case Format::Json:
        WriteJson(out, states, changes);
        break;
    }
    out.finish();
    if (options.format == Format::Table && StderrIsTerminal())
        PrintMessage(Decimal(std::ssize(changes.added)) + " added, " + Decimal(std::ssize(changes.removed))
                     + " removed, " + Decimal(std::ssize(changes.changed)) + " changed.");
    return changes.empty() ? kExitSame : kExitDifferent;
}

void AddDiffCommand(CLI::App &app, Command &command)
{
    auto [diff, options] = AddCommand<DiffOptions>(
        app, command, "diff",
        "What changed from OLD to NEW: records paired by model name and occurrence are added, removed or changed "
        "(another image); exit status 1 when anything differs",
        RunDiff, [](const DiffOptions &o) { return o.oldFile; });
    diff->add_option("OLD", options->oldFile, "Data file, the older version")->required();
    diff->add_option("NEW", options->newFile, "Data file, the newer version")->required();
    AddFormat(*diff, options->format);
}

} // namespace tarvidon::cli
