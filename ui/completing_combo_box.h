#pragma once

#include <QComboBox>

namespace tarvidon {

class CatalogueListModel;
class NameField;

/// An editable combo box that completes typed text inline to the first
/// item that starts with it (case-insensitively) and drops its list down as
/// soon as a character is typed. While the list is down the field keeps
/// every editing key; the list keeps only the keys that move in it. Enter,
/// with the list down or not, closes the list and reports enterPressed with
/// the field's text as it stands; nothing is inserted as an item. The field
/// holds names of any length whole (see NameField).
class CompletingComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit CompletingComboBox(QWidget *parent = nullptr);

    /// Uses model for the items; it must be sorted case-insensitively.
    void setSortedModel(CatalogueListModel *model);

    /// The field, which holds names whole.
    [[nodiscard]] NameField *field() const { return field_; }

signals:
    void enterPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// Completes the typed text; returns the item it completed to.
    QModelIndex completeInline();
    void showWhole(int row);
    void dropDownKeepingText();
    void closeList();
    void listShortcutOverride(QKeyEvent *event);
    void listKeyPress(QKeyEvent *event);
    /// Moves the list's highlight by step rows and puts that item into the field.
    void pickNeighbour(int step);

    NameField *field_;
    CatalogueListModel *items_ = nullptr;
};

} // namespace tarvidon
