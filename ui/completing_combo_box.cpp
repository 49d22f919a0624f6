#include "completing_combo_box.h"

#include "catalogue_list_model.h"
#include "name_field.h"
#include "text.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>

#include <algorithm>

namespace tarvidon {

namespace {

bool IsEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

bool IsTyping(const QKeyEvent *event)
{
    // Ctrl with a letter carries a control character, which is not printable.
    return !event->text().isEmpty() && event->text().front().isPrint();
}

// Rows a key moves the list's highlight by; 0 for keys that do not move it.
int ListStep(const QKeyEvent *event, int page)
{
    if (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier))
        return 0;
    switch (event->key()) {
    case Qt::Key_Up:
        return -1;
    case Qt::Key_Down:
        return 1;
    case Qt::Key_PageUp:
        return -page;
    case Qt::Key_PageDown:
        return page;
    default:
        return 0;
    }
}

bool ClosesList(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_F4:
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        return (event->modifiers() & Qt::AltModifier) != 0;
    default:
        return false;
    }
}

} // namespace

CompletingComboBox::CompletingComboBox(QWidget *parent) : QComboBox(parent), field_(new NameField(this))
{
    setEditable(true);
    setLineEdit(field_);
    // Completion is done here, on the items' engine text, rather than by a
    // completer, which would decode every item it compares, whole.
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    // The size is fixed; sizing to the contents would measure every item.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMaxVisibleItems(8);
    if (auto *list = qobject_cast<QListView *>(view()))
        list->setUniformItemSizes(true); // keeps a million rows cheap to lay out
    // A row picked from the list shows as the list does, and is meant whole.
    connect(this, qOverload<int>(&QComboBox::activated), this, &CompletingComboBox::showWhole);
    // While the list is down it holds the keyboard: the window system sends
    // keys to its view, or to the list's window when the view has no focus.
    // These filters come after the list's own, so they see each key first.
    view()->installEventFilter(this);
    view()->window()->installEventFilter(this);
}

void CompletingComboBox::setSortedModel(CatalogueListModel *model)
{
    setModel(model);
    items_ = model;
    // Laying out a long list takes a moment; do it when the items change,
    // not on the first typed character.
    connect(model, &QAbstractItemModel::modelReset, view(), &QAbstractItemView::doItemsLayout);
}

void CompletingComboBox::showWhole(int row)
{
    if (items_ != nullptr && row >= 0 && row < count())
        field_->setEngineText(items_->engineText(row));
}

QModelIndex CompletingComboBox::completeInline()
{
    const QString typed = field_->text();
    if (typed.isEmpty() || field_->cursorPosition() != typed.size() || items_ == nullptr)
        return {}; // only typing at the end completes
    const int row = items_->firstRowStartingWith(ToEngineText(typed));
    if (row < 0)
        return {};
    field_->completeTo(items_->engineText(row), typed.size());
    return items_->index(row);
}

void CompletingComboBox::keyPressEvent(QKeyEvent *event)
{
    if (IsEnter(event)) {
        closeList();
        event->accept();
        emit enterPressed(); // on the field's text, whatever the list highlights
        return;
    }
    if (const int step = ListStep(event, maxVisibleItems())) {
        pickNeighbour(step);
        event->accept();
        return;
    }
    const bool typed = IsTyping(event);
    QComboBox::keyPressEvent(event);
    if (!typed)
        return;
    const QModelIndex match = completeInline();
    if (!view()->isVisible() && count() > 0)
        dropDownKeepingText();
    if (view()->isVisible()) {
        view()->setCurrentIndex(match); // where the completion came from; none when nothing fits
        if (match.isValid())
            view()->scrollTo(match, QAbstractItemView::PositionAtTop);
    }
}

void CompletingComboBox::pickNeighbour(int step)
{
    const int rows = count();
    if (rows == 0)
        return;
    const int current = view()->currentIndex().row();
    const int row = current < 0 ? 0 : std::clamp(current + step, 0, rows - 1);
    view()->setCurrentIndex(model()->index(row, modelColumn(), rootModelIndex()));
    showWhole(row);
}

void CompletingComboBox::dropDownKeepingText()
{
    // Opening the list moves the focus, which can put the current item's
    // text into the field; the user's text and its selected rest must stay.
    QLineEdit *field = lineEdit();
    const QString text = field->text();
    const int selectionStart = field->selectionStart();
    const int selectionLength = static_cast<int>(field->selectedText().size());
    const int cursor = field->cursorPosition();
    showPopup();
    if (field->text() != text)
        field->setText(text);
    if (selectionStart >= 0)
        field->setSelection(selectionStart, selectionLength);
    else
        field->setCursorPosition(cursor);
}

void CompletingComboBox::closeList()
{
    // Styles that flash the picked row keep the list up a moment longer;
    // with no row picked it closes at once.
    view()->clearSelection();
    hidePopup();
}

bool CompletingComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view() || watched == view()->window()) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            listShortcutOverride(static_cast<QKeyEvent *>(event));
            return true; // the list would take Enter as picking its highlighted row
        case QEvent::KeyPress:
            listKeyPress(static_cast<QKeyEvent *>(event));
            return true;
        case QEvent::KeyRelease:
            keyReleaseEvent(static_cast<QKeyEvent *>(event));
            return true;
        default:
            break;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void CompletingComboBox::listShortcutOverride(QKeyEvent *key)
{
    if (IsEnter(key) || ClosesList(key) || ListStep(key, 1) != 0)
        key->accept();
    else
        QComboBox::event(key); // the field claims its editing shortcuts
}

void CompletingComboBox::listKeyPress(QKeyEvent *key)
{
    if (ClosesList(key)) {
        closeList(); // the text stays as it is
        return;
    }
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
        closeList();
        focusNextPrevChild(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
        return;
    }
    keyPressEvent(key); // everything else belongs to the field
}

} // namespace tarvidon
