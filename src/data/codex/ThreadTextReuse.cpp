#include "data/codex/ThreadTextReuse.h"

#include "platform/storage/SqliteStatement.h"

#include <QAnyStringView>
#include <QLatin1StringView>
#include <QStringDecoder>
#include <QUtf8StringView>
#include <QVarLengthArray>

namespace tolvaran::Internal {

namespace {

bool isAscii(QByteArrayView bytes)
{
    unsigned char any = 0;
    for (const char byte : bytes)
        any |= static_cast<unsigned char>(byte);
    return any < 0x80;
}

// Whether UTF-8 `utf8` decodes to `text`. Codex's text is mostly ASCII, whose bytes are its
// UTF-16 units one for one: compared as Latin-1 that is several times faster than decoding.
bool sameText(QByteArrayView utf8, const QString &text)
{
    if (isAscii(utf8))
        return utf8.size() == text.size() && QLatin1StringView(utf8) == text;
    return QAnyStringView::equal(QUtf8StringView(utf8.data(), utf8.size()), text);
}

} // namespace

ThreadTextReuse::ThreadTextReuse(Read lastRead)
    : m_lastRead(std::move(lastRead))
{
}

void ThreadTextReuse::findLastRead(const SqliteStatement &row, int idColumn)
{
    m_current = row.isNull(idColumn) ? nullptr : lookUp(row.textView(idColumn));
}

const CodexThread &ThreadTextReuse::threadOfRow(qsizetype row) const
{
    return m_lastRead.threads[(*m_lastRead.rowPositions)[size_t(row)]];
}

const CodexThread *ThreadTextReuse::lookUp(QByteArrayView id)
{
    const qsizetype rows = m_lastRead.rowPositions ? qsizetype(m_lastRead.rowPositions->size())
                                                   : 0;
    // The table gives its rows in the same order every time, but for those added or removed
    // since: the row after the last one found is tried first.
    if (m_nextRow < rows && sameText(id, threadOfRow(m_nextRow).id))
        return &threadOfRow(m_nextRow++);
    if (rows == 0)
        return nullptr;
    if (m_rowByID.isEmpty()) {
        m_rowByID.reserve(rows);
        for (qsizetype row = 0; row < rows; ++row)
            m_rowByID.insert(QStringView(threadOfRow(row).id), row);
    }
    // Codex's ids are short: decoded on the stack, not in a new string.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QVarLengthArray<QChar, 64> decoded(decoder.requiredSpace(id.size()));
    const QChar *end = decoder.appendToBuffer(decoded.data(), id);
    const auto found = m_rowByID.constFind(QStringView(decoded.data(), end - decoded.data()));
    if (found == m_rowByID.constEnd())
        return nullptr;
    m_nextRow = *found + 1;
    return &threadOfRow(*found);
}

QString ThreadTextReuse::text(const SqliteStatement &row, int column,
                              QString CodexThread::*field) const
{
    if (m_current && !row.isNull(column) && sameText(row.textView(column), m_current->*field))
        return m_current->*field;
    return row.text(column);
}

std::optional<QString> ThreadTextReuse::trimmedText(const SqliteStatement &row, int column,
                                                    std::optional<QString> CodexThread::*field)
    const
{
    if (row.isNull(column))
        return std::nullopt;
    // A kept value is trimmed and not blank, so raw text equal to it is its own trimmed form.
    if (m_current) {
        const std::optional<QString> &kept = m_current->*field;
        if (kept && sameText(row.textView(column), *kept))
            return kept;
    }
    QString text = row.text(column).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

} // namespace tolvaran::Internal
