#pragma once

// Readable test failures for Qt strings, colours and points. Every test file that
// compares them includes this, so that all of them print alike.

#include <QColor>
#include <QPoint>
#include <QString>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QColor &colour, std::ostream *out)
{
    *out << colour.name().toStdString();
}
inline void PrintTo(const QPoint &point, std::ostream *out)
{
    *out << '(' << point.x() << ", " << point.y() << ')';
}
QT_END_NAMESPACE
