#pragma once

// Readable test failures for Qt strings. Every test file that compares
// them includes this, so that all of them print alike.

#include <QString>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
