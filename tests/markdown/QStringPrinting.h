#pragma once

#include <QString>

#include <ostream>

// GoogleTest prints a QString as UTF-8 text rather than as a list of UTF-16 units.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
