#include "keyboard.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace tarvidon::test {

QWidget *KeyboardHolder()
{
    if (QWidget *grabber = QWidget::keyboardGrabber())
        return grabber;
    if (QWidget *popup = QApplication::activePopupWidget())
        return popup->focusWidget() != nullptr ? popup->focusWidget() : popup;
    return QApplication::focusWidget();
}

namespace {

// Between two key presses the event loop runs, as it does between a
// person's keys; what showing or hiding a popup queued is handled first.
QWidget *HolderOrFail()
{
    QCoreApplication::processEvents();
    QWidget *holder = KeyboardHolder();
    if (holder == nullptr)
        ADD_FAILURE() << "no widget holds the keyboard";
    return holder;
}

} // namespace

void Type(const QString &text)
{
    for (const QChar character : text) {
        QWidget *holder = HolderOrFail();
        if (holder == nullptr)
            return;
        // A printable key's code is its character, upper case, as the
        // window system reports it for Latin and Cyrillic letters alike.
        const auto key = static_cast<Qt::Key>(character.toUpper().unicode());
        const Qt::KeyboardModifiers modifiers = character.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::sendKeyEvent(QTest::Click, holder, key, QString(character), modifiers);
        QCoreApplication::processEvents();
    }
}

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    QWidget *holder = HolderOrFail();
    if (holder == nullptr)
        return;
    if (text.isNull())
        QTest::keyClick(holder, key, modifiers);
    else
        QTest::sendKeyEvent(QTest::Click, holder, key, text, modifiers);
    QCoreApplication::processEvents();
}

void Press(QKeySequence::StandardKey key)
{
    if (QWidget *holder = HolderOrFail())
        QTest::keySequence(holder, QKeySequence(key));
    QCoreApplication::processEvents();
}

} // namespace tarvidon::test
