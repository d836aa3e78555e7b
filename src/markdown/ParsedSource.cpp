#include "markdown/ParsedSource.h"

namespace tolvaran::markdown::Internal {

namespace {

constexpr QByteArrayView byteOrderMark("\xEF\xBB\xBF");
// A list marker's number has at most this many digits.
constexpr qsizetype maximumMarkerDigits = 9;

bool isBlank(char byte)
{
    return byte == ' ' || byte == '\t';
}

} // namespace

ParsedSource::ParsedSource(const QByteArray &utf8)
    : m_text(utf8)
{
    if (m_text.startsWith(byteOrderMark))
        m_text.remove(0, byteOrderMark.size());
}

QByteArrayView ParsedSource::line(int number) const
{
    if (m_lineStarts.empty()) {
        m_lineStarts.push_back(0);
        for (qsizetype index = 0; index < m_text.size(); ++index) {
            const char byte = m_text[index];
            if (byte == '\r' && index + 1 < m_text.size() && m_text[index + 1] == '\n')
                ++index;
            if (byte == '\n' || byte == '\r')
                m_lineStarts.push_back(index + 1);
        }
    }
    if (number < 1 || std::size_t(number) > m_lineStarts.size())
        return {};
    const qsizetype start = m_lineStarts[std::size_t(number - 1)];
    qsizetype end = start;
    while (end < m_text.size() && m_text[end] != '\n' && m_text[end] != '\r')
        ++end;
    return QByteArrayView(m_text).sliced(start, end - start);
}

std::optional<bool> taskBoxTicked(QByteArrayView line, int column)
{
    qsizetype at = column - 1;
    if (at < 0 || at >= line.size())
        return std::nullopt;
    const auto byteAt = [&](qsizetype index) { return index < line.size() ? line[index] : '\0'; };
    if (byteAt(at) == '-' || byteAt(at) == '+' || byteAt(at) == '*') {
        ++at;
    } else {
        const qsizetype digitsStart = at;
        while (byteAt(at) >= '0' && byteAt(at) <= '9' && at - digitsStart < maximumMarkerDigits)
            ++at;
        if (at == digitsStart || (byteAt(at) != '.' && byteAt(at) != ')'))
            return std::nullopt;
        ++at;
    }
    if (!isBlank(byteAt(at)))
        return std::nullopt;
    while (isBlank(byteAt(at)))
        ++at;
    if (byteAt(at) != '[' || byteAt(at + 2) != ']')
        return std::nullopt;
    switch (byteAt(at + 1)) {
    case ' ':
        return false;
    case 'x':
    case 'X':
        return true;
    default:
        return std::nullopt;
    }
}

} // namespace tolvaran::markdown::Internal
