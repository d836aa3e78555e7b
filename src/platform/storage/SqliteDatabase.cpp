#include "platform/storage/SqliteDatabase.h"

#include "work/FileDescriptor.h"
#include "platform/Logging.h"

#include <QFile>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace tolvaran {

void preparePrivateDatabaseFile(const QString &path)
{
    constexpr mode_t privateMode = S_IRUSR | S_IWUSR;
    const QByteArray native = QFile::encodeName(path);
    struct stat info{};
    if (::stat(native.constData(), &info) == 0) {
        if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0
            && ::chmod(native.constData(), info.st_mode & S_IRWXU) != 0) {
            qCWarning(lcPlatform).noquote() << "Could not make" << path << "private";
        }
        return;
    }
    const FileDescriptor file(
        ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, privateMode));
    if (!file.isValid())
        return; // created meanwhile, or SQLite's own open reports why not
    // The umask may have taken bits from the mode given to open; set it outright.
    if (::fchmod(file.get(), privateMode) != 0)
        qCWarning(lcPlatform).noquote() << "Could not set the mode of" << path;
}

SqliteError::SqliteError(const QString &operation, int code, const QString &detail)
    : Error(QStringLiteral("%1 failed (SQLite %2): %3").arg(operation).arg(code).arg(detail))
    , m_code(code)
    , m_detail(detail)
{
}

SqliteDatabase::SqliteDatabase(const QString &path, int flags)
    : m_path(path)
{
    const QByteArray native = path.toUtf8();
    const int result = sqlite3_open_v2(native.constData(), &m_db, flags, nullptr);
    if (result != SQLITE_OK) {
        const QString detail = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                                    : QString::fromUtf8(sqlite3_errstr(result));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw SqliteError(QStringLiteral("Opening %1").arg(path), result, detail);
    }
    sqlite3_extended_result_codes(m_db, 1);
}

SqliteDatabase::~SqliteDatabase()
{
    if (m_db)
        sqlite3_close_v2(m_db);
}

SqliteDatabase::SqliteDatabase(SqliteDatabase &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr))
    , m_path(std::move(other.m_path))
{
}

SqliteDatabase &SqliteDatabase::operator=(SqliteDatabase &&other) noexcept
{
    if (this != &other) {
        if (m_db)
            sqlite3_close_v2(m_db);
        m_db = std::exchange(other.m_db, nullptr);
        m_path = std::move(other.m_path);
    }
    return *this;
}

void SqliteDatabase::setBusyTimeout(int milliseconds)
{
    sqlite3_busy_timeout(m_db, milliseconds);
}

void SqliteDatabase::execute(const QString &sql)
{
    char *message = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int result = sqlite3_exec(m_db, utf8.constData(), nullptr, nullptr, &message);
    if (result != SQLITE_OK) {
        const QString detail = message ? QString::fromUtf8(message) : errorMessage();
        sqlite3_free(message);
        throw SqliteError(QStringLiteral("Executing \"%1\"").arg(sql.left(80)), result, detail);
    }
}

qint64 SqliteDatabase::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int SqliteDatabase::changes() const
{
    return sqlite3_changes(m_db);
}

QString SqliteDatabase::errorMessage() const
{
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}

void SqliteDatabase::preserveForeignWalFiles()
{
    int unused = 0;
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &unused);
    int persist = 1;
    sqlite3_file_control(m_db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
}

SqliteTransaction::SqliteTransaction(SqliteDatabase &db, const QString &beginSql)
    : m_db(db)
{
    m_db.execute(beginSql);
}

SqliteTransaction::~SqliteTransaction()
{
    if (m_open) {
        try {
            m_db.execute(QStringLiteral("ROLLBACK"));
        } catch (const SqliteError &) {
            // The connection already rolled back (an error can end a transaction by itself).
        }
    }
}

void SqliteTransaction::commit()
{
    m_db.execute(QStringLiteral("COMMIT"));
    m_open = false;
}

} // namespace tolvaran
