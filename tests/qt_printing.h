#pragma once

// Readable test failures for Qt strings and points. Every test file that
// compares them includes this, so that all of them print alike.

#include <QPoint>
#include <QString>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QPoint &point, std::ostream *out)
{
    *out << '(' << point.x() << ", " << point.y() << ')';
}
QT_END_NAMESPACE
