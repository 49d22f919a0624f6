#pragma once

#include <QKeySequence>
#include <QString>

class QWidget;

namespace tarvidon::test {

/// The widget the window system sends a key to now: the keyboard grabber,
/// else the open popup (its focus widget, else the popup itself), else the
/// widget with the focus. Null when nothing holds the keyboard.
[[nodiscard]] QWidget *KeyboardHolder();

/// Types text one character at a time, each key going to whatever holds
/// the keyboard when it is pressed, as a person's typing arrives.
void Type(const QString &text);

/// Presses and releases a key with its modifiers, delivered the same way;
/// text is what the key types, when the default for the key is not it.
void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString &text = QString());

/// Presses a standard combination (select all, copy, undo...) as this
/// platform binds it.
void Press(QKeySequence::StandardKey key);

} // namespace tarvidon::test
