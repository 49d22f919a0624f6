#include "catalogue_list_model.h"

#include "catalogue.h"
#include "text.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace tarvidon {

CatalogueListModel::CatalogueListModel(Field field, Order order, QObject *parent)
    : QAbstractListModel(parent), field_(field), order_(order)
{
}

void CatalogueListModel::setTexts(QStringList texts)
{
    beginResetModel();
    if (order_ == Order::Sorted)
        texts.sort(Qt::CaseInsensitive);
    texts_ = std::move(texts);
    catalogue_ = nullptr;
    rows_.clear();
    endResetModel();
}

void CatalogueListModel::setCatalogue(const Catalogue *catalogue)
{
    beginResetModel();
    texts_.clear();
    catalogue_ = catalogue;
    // A list view counts its rows in int; a larger catalogue shows its start.
    const auto count = std::min<std::int64_t>(catalogue->ModelCount(), std::numeric_limits<int>::max());
    rows_.resize(static_cast<std::size_t>(count));
    std::iota(rows_.begin(), rows_.end(), 0);
    if (order_ == Order::Sorted)
        sortRows();
    endResetModel();
}

void CatalogueListModel::sortRows()
{
    // Each text becomes a key that sorts with plain byte comparison, all
    // keys in one buffer; sorting (key, entry) pairs keeps equal texts in
    // file order.
    std::string keys;
    std::vector<std::size_t> keyEnds;
    keyEnds.reserve(rows_.size());
    for (const std::int64_t entry : rows_) {
        AppendCaseInsensitiveSortKey(keys, fieldOf(entry));
        keyEnds.push_back(keys.size());
    }
    std::vector<std::pair<std::string_view, std::int64_t>> keyed;
    keyed.reserve(rows_.size());
    std::size_t keyBegin = 0;
    for (std::size_t k = 0; k < rows_.size(); ++k) {
        keyed.emplace_back(std::string_view(keys).substr(keyBegin, keyEnds[k] - keyBegin), rows_[k]);
        keyBegin = keyEnds[k];
    }
    std::sort(keyed.begin(), keyed.end());
    std::transform(keyed.begin(), keyed.end(), rows_.begin(), [](const auto &k) { return k.second; });
}

int CatalogueListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return catalogue_ != nullptr ? static_cast<int>(rows_.size()) : static_cast<int>(texts_.size());
}

QVariant CatalogueListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    if (catalogue_ == nullptr)
        return texts_.at(index.row());
    return FromEngineText(fieldOf(rows_[static_cast<std::size_t>(index.row())]));
}

std::string_view CatalogueListModel::fieldOf(std::int64_t entry) const
{
    const CatalogueEntry e = catalogue_->Entry(entry);
    return field_ == Field::ModelName ? e.ModelName : e.ProductNumber;
}

} // namespace tarvidon
