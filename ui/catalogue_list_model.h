#pragma once

#include "large_buffer.h"
#include "name_sort.h"

#include <QAbstractListModel>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tarvidon {

class Catalogue;

/// One column of the catalogue (names or product numbers) as a list, in
/// file order or sorted. Rows are decoded when shown, and only as much of
/// them as ShownName shows, so a million records cost an index each rather
/// than a string each, and a name of megabytes no more than a real one.
class CatalogueListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum class Field { ModelName, ProductNumber };
    enum class Order { File, Sorted };

    CatalogueListModel(Field field, Order order, QObject *parent = nullptr);

    /// Shows fixed texts (sorted when the order asks for it) instead of a
    /// catalogue.
    void setTexts(QStringList texts);
    /// Shows catalogue's entries in every one of lists; the catalogue must
    /// outlive them or their next call. The lists' rows are built side by
    /// side, on threads that only read the catalogue and are all joined
    /// before any list changes (one after the other where no thread can be
    /// had): on two cores the two sorted lists of a large catalogue take
    /// half the time. When building them fails, every list is left empty
    /// and the failure is thrown on, running out of memory as
    /// OutOfMemoryError.
    static void setCatalogue(std::initializer_list<CatalogueListModel *> lists, const Catalogue *catalogue);

    using Sort = LargeVector<std::int64_t> (*)(std::int64_t count, const TextAt &textAt, const SortRanks &ranks);
    /// What orders the sorted lists; tests put in one that fails.
    static Sort sort;

    /// Row's text, whole, as engine text.
    [[nodiscard]] std::string_view engineText(int row) const;
    /// The first row, in the list's sorted order, whose text starts with
    /// typed (engine text) as the list compares (case-insensitively); -1
    /// when none does.
    [[nodiscard]] int firstRowStartingWith(std::string_view typed) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    /// An exact, case-sensitive search for a text compares engine text with
    /// the rows' whole texts; other searches are Qt's own.
    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits,
                          Qt::MatchFlags flags) const override;

private:
    [[nodiscard]] static std::vector<LargeVector<std::int64_t>> rowsOfEach(
        std::initializer_list<CatalogueListModel *> lists, const Catalogue &catalogue);
    [[nodiscard]] LargeVector<std::int64_t> rowsOf(const Catalogue &catalogue) const;
    void show(const Catalogue *catalogue, LargeVector<std::int64_t> rows);
    [[nodiscard]] std::string_view fieldOf(const Catalogue &catalogue, std::int64_t entry) const;

    Field field_;
    Order order_;
    std::vector<std::string> texts_; // the fixed texts, as engine text
    const Catalogue *catalogue_ = nullptr;
    LargeVector<std::int64_t> rows_; // catalogue entry shown in each row
};

} // namespace tarvidon
