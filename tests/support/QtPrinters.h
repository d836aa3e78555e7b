#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// How GoogleTest shows Qt text in failure messages: as the text itself rather than as bytes.
// Include in test files that compare QStrings.
inline void PrintTo(const QString &text, std::ostream *stream)
{
    *stream << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *stream)
{
    *stream << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}
