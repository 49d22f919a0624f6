#pragma once

#include <QComboBox>

class QCompleter;

namespace tarvidon {

/// An editable combo box that completes typed text inline to the first
/// item that starts with it (case-insensitively), drops its list down as
/// soon as a character is typed while typing goes on in the field, and
/// reports Enter instead of inserting the text as an item.
class CompletingComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit CompletingComboBox(QWidget *parent = nullptr);

    /// Uses model for the items; it must be sorted case-insensitively.
    void setSortedModel(QAbstractItemModel *model);

signals:
    void enterPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// Completes the typed text; returns the item it completed to.
    QModelIndex completeInline();
    void dropDownKeepingText();
    static bool isEnter(const QKeyEvent *event);
    static bool isEditingKey(const QKeyEvent *event);

    QCompleter *completer_;
};

} // namespace tarvidon
