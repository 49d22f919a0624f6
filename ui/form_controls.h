#pragma once

// Making and filling the main window's controls.

#include "catalogue.h"

#include <QRect>
#include <QString>

#include <array>
#include <string>
#include <utility>

class QLabel;
class QPlainTextEdit;
class QWidget;

namespace tarvidon {

/// A control, named and placed as it is in the window's layout.
template <typename Widget, typename... Arguments>
Widget *Create(QWidget *parent, const QString &name, const QRect &geometry, Arguments &&...arguments)
{
    auto *widget = new Widget(std::forward<Arguments>(arguments)..., parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

/// A label panel: a lowered bevel round a centred lime caption on black.
QLabel *LabelPanel(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry,
                   int fontHeight);

/// A window title shown exactly as text: Qt takes "[*]" for the place of
/// the modified marker and shows a doubled one as itself.
[[nodiscard]] QString LiteralTitle(QString text);

/// Puts the hex rows into memo's lines, row r into line r.
void SetMemoRows(QPlainTextEdit *memo, const std::array<std::string, kHexRowCount> &rows);

} // namespace tarvidon
