#pragma once

#include "platform/storage/SqliteDatabase.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

struct sqlite3_stmt;

namespace tolvaran {

// One prepared statement, finalised when the object goes. Parameters are 1-based, columns
// 0-based, as in SQLite.
class SqliteStatement final
{
public:
    // Prepares `sql` on `db`; throws SqliteError.
    SqliteStatement(SqliteDatabase &db, const QString &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    void bind(int index, qint64 value);
    void bind(int index, int value) { bind(index, qint64(value)); }
    void bind(int index, double value);
    void bind(int index, const QString &value);
    void bind(int index, const QByteArray &value); // as a blob
    void bind(int index, const std::optional<QString> &value);
    void bindNull(int index);

    // Advances to the next row: true for a row, false at the end. Any other outcome (busy,
    // I/O error, corruption, a constraint) throws SqliteError: a read never passes off the
    // rows it got before a failure as the whole result.
    bool step();
    // Runs a statement that returns no rows; throws SqliteError.
    void run();
    // Makes the statement ready to run again; bindings are cleared too.
    void reset();
    // Makes the statement ready to run again with the values bound so far; for a statement run
    // many times with most of its values alike.
    void rewind();

    int columnCount() const;
    QString columnName(int column) const;
    bool isNull(int column) const;
    qint64 int64(int column) const;
    double real(int column) const;
    QString text(int column) const;
    std::optional<QString> optionalText(int column) const;
    // The column's text as UTF-8 bytes, without a copy: valid until the next step() or reset().
    // For reading many rows fast; empty for NULL.
    QByteArrayView textView(int column) const;
    QByteArray blob(int column) const;

private:
    SqliteDatabase &m_db;
    sqlite3_stmt *m_statement = nullptr;
};

} // namespace tolvaran
