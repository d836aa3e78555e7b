#pragma once

#include "platform/Error.h"

#include <QString>

struct sqlite3;

namespace tolvaran {

// A failure of SQLite: the operation, SQLite's result code and its message.
class SqliteError final : public Error
{
public:
    SqliteError(const QString &operation, int code, const QString &detail);
    int code() const noexcept { return m_code; }
    // SQLite's own message, without the operation (for errors that quote SQLite verbatim).
    const QString &detail() const noexcept { return m_detail; }

private:
    int m_code;
    QString m_detail;
};

// One SQLite connection, closed when the object goes. Every database operation of the program
// opens its own connection and closes it again; nothing holds one across operations.
class SqliteDatabase final
{
public:
    // Opens `path` with SQLite's open flags (SQLITE_OPEN_*); throws SqliteError.
    SqliteDatabase(const QString &path, int flags);
    ~SqliteDatabase();
    SqliteDatabase(SqliteDatabase &&other) noexcept;
    SqliteDatabase &operator=(SqliteDatabase &&other) noexcept;
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    sqlite3 *handle() const { return m_db; }
    const QString &path() const { return m_path; }

    void setBusyTimeout(int milliseconds);
    // Runs one or more statements that return no rows; throws SqliteError.
    void execute(const QString &sql);
    qint64 lastInsertRowId() const;
    int changes() const;
    QString errorMessage() const;

    // Leaves a foreign database's files as we found them: no checkpoint when our connection
    // is the last to close, and the -wal file is kept. Call right after opening.
    void preserveForeignWalFiles();

private:
    sqlite3 *m_db = nullptr;
    QString m_path;
};

// Makes `path` a database file that only its owner may read, before SQLite opens it: SQLite
// would create a missing file with the umask's mode (0644 as a rule), and it gives its journal
// and -wal files the mode of the database file. A missing file is created empty with mode
// 0600; an existing one loses any group and other access. An existing file is never opened
// here: closing any descriptor of a file drops every lock this process holds on it, SQLite's
// included. Failures are logged; SQLite's own open then reports what matters.
void preparePrivateDatabaseFile(const QString &path);

// A transaction that rolls back unless committed.
class SqliteTransaction final
{
public:
    // Begins with `beginSql` ("BEGIN IMMEDIATE" by default); throws SqliteError.
    explicit SqliteTransaction(SqliteDatabase &db,
                               const QString &beginSql = QStringLiteral("BEGIN IMMEDIATE"));
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction &) = delete;
    SqliteTransaction &operator=(const SqliteTransaction &) = delete;

    void commit();

private:
    SqliteDatabase &m_db;
    bool m_open = true;
};

} // namespace tolvaran
