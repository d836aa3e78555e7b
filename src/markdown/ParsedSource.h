#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

namespace tolvaran::markdown::Internal {

// The text the Markdown library parsed, addressed as the library reports positions: lines
// numbered from 1, ended by "\n", "\r\n" or a lone "\r", and columns counting bytes of
// UTF-8 from 1, without a leading byte order mark (which the library skips). Only what can
// stand before a list marker on its line is addressed exactly: the library reads a NUL byte
// as three, which moves the columns after it.
class ParsedSource final
{
public:
    explicit ParsedSource(const QByteArray &utf8);

    // Line `number` without its line ending; empty past the last line.
    QByteArrayView line(int number) const;

private:
    QByteArray m_text;
    // The line starts are found on the first call: most texts never ask for a line.
    mutable std::vector<qsizetype> m_lineStarts;
};

// Whether the task box right after the list marker at `column` of `line` is ticked: "[x]"
// and "[X]" are, "[ ]" is not. Absent where no box follows the marker there.
std::optional<bool> taskBoxTicked(QByteArrayView line, int column);

} // namespace tolvaran::markdown::Internal
