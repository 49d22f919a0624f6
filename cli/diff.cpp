// diff: what changed between two versions of a catalogue.

#include "commands.h"
#include "comparison.h"
#include "output.h"
#include "platform.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace tarvidon::cli {

namespace {

struct Catalogues {
    const Catalogue &before;
    const Catalogue &after;
};

// One difference as printed: CSV fields, table cells. Missing ones empty.
struct Row {
    std::string change, model, occurrence, oldIndex, oldProduct, newIndex, newProduct, differing;
};

Row RowOf(const Catalogues &catalogues, std::string_view change, const RecordChange &record)
{
    Row row{std::string(change), {}, Decimal(record.occurrence), {}, {}, {}, {}, {}};
    if (record.oldIndex != kNoMatch) {
        const auto fields = EntryFields(catalogues.before, record.oldIndex);
        row.model = fields[3];
        row.oldIndex = fields[0];
        row.oldProduct = fields[2];
    }
    if (record.newIndex != kNoMatch) {
        const auto fields = EntryFields(catalogues.after, record.newIndex);
        row.model = fields[3];
        row.newIndex = fields[0];
        row.newProduct = fields[2];
    }
    if (record.oldIndex != kNoMatch && record.newIndex != kNoMatch)
        row.differing = Decimal(record.differingBytes);
    return row;
}

// Every difference in the order of the JSON object: added, removed, changed.
class Rows {
public:
    Rows(const Catalogues &catalogues, const CatalogueChanges &changes) : catalogues_(catalogues), changes_(changes) {}

    [[nodiscard]] std::size_t size() const
    {
        return changes_.added.size() + changes_.removed.size() + changes_.changed.size();
    }

    [[nodiscard]] Row operator[](std::size_t k) const
    {
        if (k < changes_.added.size())
            return RowOf(catalogues_, "added", changes_.added[k]);
        k -= changes_.added.size();
        if (k < changes_.removed.size())
            return RowOf(catalogues_, "removed", changes_.removed[k]);
        return RowOf(catalogues_, "changed", changes_.changed[k - changes_.removed.size()]);
    }

private:
    const Catalogues &catalogues_;
    const CatalogueChanges &changes_;
};

void WriteCsv(Output &out, const Rows &rows)
{
    const std::string_view header[] = {"change",    "model_name",         "occurrence",     "old_index",
                                       "old_product_number", "new_index", "new_product_number", "differing_bytes"};
    WriteCsvRecord(out, header);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const Row row = rows[k];
        const std::string_view record[] = {row.change,   row.model,    row.occurrence, row.oldIndex,
                                           row.oldProduct, row.newIndex, row.newProduct, row.differing};
        WriteCsvRecord(out, record);
    }
}

void WriteTable(Output &out, const Rows &rows)
{
    const Column columns[] = {{"Change"},          {"Old index", true}, {"Old product"}, {"New index", true},
                              {"New product"},     {"Differing", true}, {"Occurrence", true}, {"Model"}};
    const auto orDash = [](const std::string &cell) { return cell.empty() ? std::string("-") : cell; };
    WriteAlignedTable(out, columns, rows.size(), [&](std::size_t k) {
        const Row row = rows[k];
        return std::vector<std::string>{row.change,           orDash(row.oldIndex), orDash(row.oldProduct),
                                        orDash(row.newIndex), orDash(row.newProduct), orDash(row.differing),
                                        row.occurrence,       row.model};
    });
}

nlohmann::ordered_json Side(const Catalogue &catalogue, MatchIndex i)
{
    const CatalogueEntry entry = catalogue.Entry(i);
    return {{"index", i}, {"image_offset", entry.ImageOffset}, {"product_number", std::string(entry.ProductNumber)}};
}

void WriteJson(Output &out, const Catalogues &catalogues, const CatalogueChanges &changes)
{
    out << "{\"added\": ";
    WriteJsonArray(out, changes.added.size(),
                   [&](std::size_t k) { return EntryJson(catalogues.after, changes.added[k].newIndex); });
    out << ",\n\"removed\": ";
    WriteJsonArray(out, changes.removed.size(),
                   [&](std::size_t k) { return EntryJson(catalogues.before, changes.removed[k].oldIndex); });
    out << ",\n\"changed\": ";
    WriteJsonArray(out, changes.changed.size(), [&](std::size_t k) {
        const RecordChange &change = changes.changed[k];
        return nlohmann::ordered_json{{"model_name", EntryFields(catalogues.before, change.oldIndex)[3]},
                                      {"occurrence", change.occurrence},
                                      {"old", Side(catalogues.before, change.oldIndex)},
                                      {"new", Side(catalogues.after, change.newIndex)},
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
    const Catalogues catalogues{before.Catalogue, after.Catalogue};
    const Rows rows(catalogues, changes);
    Output out(stdout);
    switch (options.format) {
    case Format::Table:
        WriteTable(out, rows);
        break;
    case Format::Csv:
        WriteCsv(out, rows);
        break;
    case Format::Json:
        WriteJson(out, catalogues, changes);
        break;
    }
    out.finish();
    if (options.format == Format::Table && StderrIsTerminal())
        std::fprintf(stderr, "tarvidon-cli: %zu added, %zu removed, %zu changed.\n", changes.added.size(),
                     changes.removed.size(), changes.changed.size());
    return changes.empty() ? kExitSame : kExitDifferent;
}

} // namespace tarvidon::cli
