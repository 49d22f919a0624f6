#include "catalogue_list_model.h"

#include "background.h"
#include "catalogue.h"
#include "errors.h"
#include "name_sort.h"
#include "text.h"

#include <algorithm>
#include <string>
#include <limits>
#include <new>
#include <numeric>

namespace tarvidon {

CatalogueListModel::Sort CatalogueListModel::sort = SortedByRanks;

CatalogueListModel::CatalogueListModel(Field field, Order order, QObject *parent)
    : QAbstractListModel(parent), field_(field), order_(order)
{
}

void CatalogueListModel::setTexts(QStringList texts)
{
    std::vector<std::string> engineTexts;
    for (const QString &text : texts)
        engineTexts.push_back(ToEngineText(text));
    if (order_ == Order::Sorted) {
        const auto order = sort(static_cast<std::int64_t>(engineTexts.size()),
                                [&](std::int64_t k) { return std::string_view(engineTexts[k]); },
                                CaseInsensitiveRanks());
        std::vector<std::string> sorted;
        for (const std::int64_t k : order)
            sorted.push_back(std::move(engineTexts[k]));
        engineTexts = std::move(sorted);
    }
    beginResetModel();
    texts_ = std::move(engineTexts);
    catalogue_ = nullptr;
    rows_.clear();
    endResetModel();
}

void CatalogueListModel::setCatalogue(std::initializer_list<CatalogueListModel *> lists, const Catalogue *catalogue)
{
    if (lists.size() == 0)
        return;
    // The rows shown count entries of the catalogue before, which has gone:
    // rows left there would read entries that are not there.
    const auto showNothing = [&] {
        for (CatalogueListModel *list : lists)
            list->show(catalogue, {});
    };
    std::vector<LargeVector<std::int64_t>> rows;
    try {
        rows = rowsOfEach(lists, *catalogue);
    } catch (const std::bad_alloc &) {
        showNothing();
        throw OutOfMemoryError();
    } catch (...) {
        showNothing();
        throw;
    }
    for (std::size_t k = 0; k < lists.size(); ++k)
        lists.begin()[k]->show(catalogue, std::move(rows[k]));
}

std::vector<LargeVector<std::int64_t>> CatalogueListModel::rowsOfEach(std::initializer_list<CatalogueListModel *> lists,
                                                                      const Catalogue &catalogue)
{
    // Every list but the last on a thread of its own, the last on this one
    // meanwhile; a future that goes out of scope joins its thread.
    std::vector<std::future<LargeVector<std::int64_t>>> others;
    for (auto list = lists.begin(); list + 1 != lists.end(); ++list)
        others.push_back(InBackground([list = *list, &catalogue] { return list->rowsOf(catalogue); }));
    LargeVector<std::int64_t> last = lists.end()[-1]->rowsOf(catalogue);
    std::vector<LargeVector<std::int64_t>> rows;
    for (auto &built : others)
        rows.push_back(built.get());
    rows.push_back(std::move(last));
    return rows;
}

LargeVector<std::int64_t> CatalogueListModel::rowsOf(const Catalogue &catalogue) const
{
    // A list view counts its rows in int; a larger catalogue shows its start.
    const auto count = std::min<std::int64_t>(catalogue.ModelCount(), std::numeric_limits<int>::max());
    if (order_ == Order::Sorted)
        return sort(count, [&](std::int64_t entry) { return fieldOf(catalogue, entry); }, CaseInsensitiveRanks());
    LargeVector<std::int64_t> rows(static_cast<std::size_t>(count));
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

void CatalogueListModel::show(const Catalogue *catalogue, LargeVector<std::int64_t> rows)
{
    beginResetModel();
    texts_.clear();
    catalogue_ = catalogue;
    rows_ = std::move(rows);
    endResetModel();
}

int CatalogueListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return catalogue_ != nullptr ? static_cast<int>(rows_.size()) : static_cast<int>(texts_.size());
}

std::string_view CatalogueListModel::engineText(int row) const
{
    if (catalogue_ == nullptr)
        return texts_.at(static_cast<std::size_t>(row));
    return fieldOf(*catalogue_, rows_.at(static_cast<std::size_t>(row)));
}

int CatalogueListModel::firstRowStartingWith(std::string_view typed) const
{
    return static_cast<int>(FirstStartingWith(rowCount(), [&](std::int64_t row) { return engineText(static_cast<int>(row)); },
                                              typed, CaseInsensitiveRanks()));
}

QVariant CatalogueListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return ShownName(engineText(index.row()));
}

QModelIndexList CatalogueListModel::match(const QModelIndex &start, int role, const QVariant &value, int hits,
                                          Qt::MatchFlags flags) const
{
    const bool exactText = flags == (Qt::MatchFixedString | Qt::MatchCaseSensitive)
        || flags == (Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!exactText || (role != Qt::DisplayRole && role != Qt::EditRole) || value.typeId() != QMetaType::QString)
        return QAbstractListModel::match(start, role, value, hits, flags);
    const std::string wanted = ToEngineText(value.toString());
    QModelIndexList found;
    for (int row = start.row(); row >= 0 && row < rowCount() && (hits < 0 || found.size() < hits); ++row) {
        if (engineText(row) == wanted)
            found << index(row);
    }
    return found;
}

std::string_view CatalogueListModel::fieldOf(const Catalogue &catalogue, std::int64_t entry) const
{
    const CatalogueEntry e = catalogue.Entry(entry);
    return field_ == Field::ModelName ? e.ModelName : e.ProductNumber;
}

} // namespace tarvidon
