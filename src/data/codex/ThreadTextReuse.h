#pragma once

#include "data/codex/CodexThread.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>
#include <vector>

namespace tolvaran {
class SqliteStatement;
}

namespace tolvaran::Internal {

// The text of one read of Codex's thread table, taken where it can be from the read before.
//
// While Codex works its table is read every few seconds, and almost every row is as the last
// read left it. Text equal to that of the last read's thread with the same id is that
// thread's string rather than a new one: successive reads then share their strings, so the
// lists a refresh keeps beside the shown projects (the token index's, the one being shown,
// the one just read) do not each hold a copy of the history's text, and a read that finds
// nothing new allocates little besides its list.
class ThreadTextReuse final
{
public:
    // One read: its threads as handed out, and for each of its rows, in the order the table
    // gave them, the position of the row's thread among `threads`.
    struct Read
    {
        QList<CodexThread> threads;
        std::shared_ptr<const std::vector<qsizetype>> rowPositions;
    };

    // Over the last read (shared, not copied).
    explicit ThreadTextReuse(Read lastRead);
    qsizetype lastReadCount() const { return m_lastRead.threads.size(); }

    // Points at the last read's thread whose id is the row's `idColumn`, or at none. Call once
    // per row, in the table's order, before the row's text is read.
    void findLastRead(const SqliteStatement &row, int idColumn);

    // The column's text, as SqliteStatement::text() gives it; `field` of the last read's thread
    // when that holds the same text.
    QString text(const SqliteStatement &row, int column, QString CodexThread::*field) const;
    // The column's text trimmed, absent for NULL or blank text; likewise taken from `field`.
    std::optional<QString> trimmedText(const SqliteStatement &row, int column,
                                       std::optional<QString> CodexThread::*field) const;

private:
    const CodexThread *lookUp(QByteArrayView id);
    const CodexThread &threadOfRow(qsizetype row) const;

    const Read m_lastRead;
    // The last read's rows by id; made at the first row not found where the last read had it.
    QHash<QStringView, qsizetype> m_rowByID;
    qsizetype m_nextRow = 0; // the last read's row after the one found last
    const CodexThread *m_current = nullptr;
};

} // namespace tolvaran::Internal
