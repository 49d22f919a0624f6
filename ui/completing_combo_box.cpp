#include "completing_combo_box.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>

namespace tarvidon {

CompletingComboBox::CompletingComboBox(QWidget *parent) : QComboBox(parent), completer_(new QCompleter(this))
{
    setEditable(true);
    // The field's own completer stops completing once the list has the
    // keyboard; completion is done here instead, with a completer that only
    // searches.
    setCompleter(nullptr);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(8);
    if (auto *list = qobject_cast<QListView *>(view()))
        list->setUniformItemSizes(true); // keeps a million rows cheap to lay out
    // While the list is down it has the keyboard; typing is passed back to
    // the field.
    view()->installEventFilter(this);
}

void CompletingComboBox::setSortedModel(QAbstractItemModel *model)
{
    setModel(model);
    completer_->setModel(model); // sorted, so the first match is a binary search away
    // Laying out a long list takes a moment; do it when the items change,
    // not on the first typed character.
    connect(model, &QAbstractItemModel::modelReset, view(), &QAbstractItemView::doItemsLayout);
}

QModelIndex CompletingComboBox::completeInline()
{
    QLineEdit *field = lineEdit();
    const QString typed = field->text();
    if (typed.isEmpty() || field->cursorPosition() != typed.size())
        return {}; // only typing at the end completes
    completer_->setCompletionPrefix(typed);
    const QString match = completer_->currentCompletion();
    if (match.isEmpty())
        return {};
    field->setText(typed + match.mid(typed.size()));
    field->setSelection(typed.size(), match.size() - typed.size());
    const auto *matches = static_cast<const QAbstractProxyModel *>(completer_->completionModel());
    return matches->mapToSource(completer_->currentIndex());
}

bool CompletingComboBox::isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

bool CompletingComboBox::isEditingKey(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return !event->text().isEmpty() && event->text().front().isPrint();
    }
}

void CompletingComboBox::keyPressEvent(QKeyEvent *event)
{
    if (isEnter(event)) {
        hidePopup();
        event->accept();
        emit enterPressed();
        return;
    }
    const bool typed = !event->text().isEmpty() && event->text().front().isPrint();
    QComboBox::keyPressEvent(event);
    if (!typed)
        return;
    const QModelIndex match = completeInline();
    if (!view()->isVisible() && count() > 0)
        dropDownKeepingText();
    if (match.isValid() && view()->isVisible()) {
        view()->setCurrentIndex(match); // the list shows where the completion came from
        view()->scrollTo(match, QAbstractItemView::PositionAtTop);
    }
}

void CompletingComboBox::dropDownKeepingText()
{
    // Opening the list puts the current item's text into the field; the
    // user's text and its completed, selected rest must stay.
    QLineEdit *field = lineEdit();
    const QString text = field->text();
    const int selectionStart = field->selectionStart();
    const int selectionLength = field->selectedText().size();
    const int cursor = field->cursorPosition();
    showPopup(); // from now the list has the keys; eventFilter passes typing back
    field->setText(text);
    if (selectionStart >= 0)
        field->setSelection(selectionStart, selectionLength);
    else
        field->setCursorPosition(cursor);
}

bool CompletingComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view() && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (isEnter(key) || isEditingKey(key)) {
            keyPressEvent(key);
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

} // namespace tarvidon
