#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <ostream>

// How GoogleTest shows Qt text and sizes in failure messages: as the text itself and as
// width by height rather than as bytes. Include in test files that compare them.
inline void PrintTo(const QString &text, std::ostream *stream)
{
    *stream << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *stream)
{
    *stream << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

inline void PrintTo(const QSize &size, std::ostream *stream)
{
    *stream << size.width() << 'x' << size.height();
}
