#pragma once

#include <QAbstractListModel>
#include <QStringList>

#include <string_view>
#include <vector>

namespace tarvidon {

class Catalogue;

/// One column of the catalogue (names or product numbers) as a list, in
/// file order or sorted. Rows are decoded when shown, so a million records
/// cost an index each rather than a string each.
class CatalogueListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum class Field { ModelName, ProductNumber };
    enum class Order { File, Sorted };

    CatalogueListModel(Field field, Order order, QObject *parent = nullptr);

    /// Shows fixed texts (sorted when the order asks for it) instead of a
    /// catalogue.
    void setTexts(QStringList texts);
    /// Shows catalogue's entries; the catalogue must outlive the model or
    /// the next call.
    void setCatalogue(const Catalogue *catalogue);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    void sortRows();
    std::string_view fieldOf(std::int64_t entry) const;

    Field field_;
    Order order_;
    QStringList texts_;
    const Catalogue *catalogue_ = nullptr;
    std::vector<std::int64_t> rows_; // catalogue entry shown in each row
};

} // namespace tarvidon
