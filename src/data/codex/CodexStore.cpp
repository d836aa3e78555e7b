#include "data/codex/CodexStore.h"

#include "platform/Paths.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"
#include "platform/Timestamp.h"

#include <QFile>
#include <QSet>
#include <QUrl>
#include <QtEndian>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include <sys/stat.h>

namespace tolvaran {

namespace {

struct SelectItem
{
    const char *column;
    const char *fallback;
};

// The columns read, in the order the row mapping below indexes them, with the constant that
// stands in for each one an older table lacks.
constexpr std::array<SelectItem, 18> selectItems{{
    {"id", "''"},
    {"rollout_path", "''"},
    {"cwd", "''"},
    {"title", "''"},
    {"preview", "''"},
    {"updated_at", "0"},
    {"updated_at_ms", "0"},
    {"recency_at", "0"},
    {"recency_at_ms", "0"},
    {"created_at", "0"},
    {"created_at_ms", "0"},
    {"archived", "0"},
    {"git_branch", "NULL"},
    {"git_origin_url", "NULL"},
    {"tokens_used", "0"},
    {"model", "NULL"},
    {"name", "NULL"},
    {"project_id", "NULL"},
}};

enum Column {
    idColumn,
    rolloutPathColumn,
    cwdColumn,
    titleColumn,
    previewColumn,
    updatedAtColumn,
    updatedAtMsColumn,
    recencyAtColumn,
    recencyAtMsColumn,
    createdAtColumn,
    createdAtMsColumn,
    archivedColumn,
    gitBranchColumn,
    gitOriginURLColumn,
    tokensUsedColumn,
    modelColumn,
    nameColumn,
    projectIDColumn,
};

QString threadsQuery(const QSet<QString> &columns, bool includeArchived)
{
    QString query;
    query.reserve(512);
    query += QLatin1String("SELECT\n    ");
    for (std::size_t index = 0; index < selectItems.size(); ++index) {
        if (index > 0)
            query += QLatin1String(",\n    ");
        const QLatin1String column(selectItems[index].column);
        if (columns.contains(column))
            query += column;
        else
            query += QLatin1String(selectItems[index].fallback) + QLatin1String(" AS ") + column;
    }
    query += QLatin1String("\nFROM threads\n");
    if (!includeArchived && columns.contains(QLatin1String("archived")))
        query += QLatin1String("WHERE archived = 0");
    return query;
}

// The column the threads are ordered by, newest first.
int orderColumn(const QSet<QString> &columns)
{
    return columns.contains(QLatin1String("updated_at_ms")) ? updatedAtMsColumn
                                                            : updatedAtColumn;
}

// Newest first, as "ORDER BY <key> DESC" gives them: stable, so that threads of one time keep
// the table's order, as SQLite's sort keeps it. Sorted here rather than by SQLite, which would
// copy every row into a temporary tree before handing out the first: with tens of thousands
// of rows that took longer than reading them. Returns, for each row in the table's order, the
// position its thread took.
std::vector<qsizetype> sortNewestFirst(QList<CodexThread> &threads,
                                       const std::vector<qint64> &keys)
{
    std::vector<qsizetype> order(keys.size()); // position -> row
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(), [&keys](qsizetype a, qsizetype b) {
        return keys[size_t(a)] > keys[size_t(b)];
    });
    std::vector<qsizetype> positions(order.size()); // row -> position
    for (size_t position = 0; position < order.size(); ++position)
        positions[size_t(order[position])] = qsizetype(position);
    // Position p takes the thread of row order[p]: each cycle of that permutation is walked
    // once, moving every thread once.
    CodexThread *const data = threads.data();
    std::vector<char> placed(order.size(), 0);
    for (size_t start = 0; start < order.size(); ++start) {
        if (placed[start] || size_t(order[start]) == start)
            continue;
        CodexThread held = std::move(data[start]);
        size_t position = start;
        while (true) {
            placed[position] = 1;
            const size_t from = size_t(order[position]);
            if (from == start) {
                data[position] = std::move(held);
                break;
            }
            data[position] = std::move(data[from]);
            position = from;
        }
    }
    return positions;
}

// A time from a milliseconds column, else from a seconds column; nothing when both are
// below 1 (Codex writes 0 for a time it does not know).
std::optional<Timestamp> rowTime(const SqliteStatement &row, int msColumn, int secondsColumn)
{
    const qint64 milliseconds = row.int64(msColumn);
    if (milliseconds >= 1)
        return Timestamp::clampedFromSeconds(double(milliseconds) / 1000.0);
    const qint64 seconds = row.int64(secondsColumn);
    if (seconds >= 1)
        return Timestamp::clampedFromSeconds(double(seconds));
    return std::nullopt;
}

std::optional<QString> trimmedText(const SqliteStatement &row, int column)
{
    if (row.isNull(column))
        return std::nullopt;
    QString text = row.text(column).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

CodexThread threadFromRow(const SqliteStatement &row, const QHash<QString, QString> &names,
                          Internal::ThreadTextReuse &kept)
{
    kept.findLastRead(row, idColumn);
    CodexThread thread;
    // QString::fromUtf8 repairs invalid sequences rather than rejecting the row.
    thread.id = kept.text(row, idColumn, &CodexThread::id);
    thread.rolloutPath = kept.text(row, rolloutPathColumn, &CodexThread::rolloutPath);
    thread.cwd = kept.text(row, cwdColumn, &CodexThread::cwd);
    thread.title = kept.text(row, titleColumn, &CodexThread::title);
    thread.preview = kept.text(row, previewColumn, &CodexThread::preview);
    thread.updatedAt =
        rowTime(row, updatedAtMsColumn, updatedAtColumn).value_or(Timestamp::distantPast());
    thread.recencyAt = rowTime(row, recencyAtMsColumn, recencyAtColumn).value_or(thread.updatedAt);
    thread.createdAt =
        rowTime(row, createdAtMsColumn, createdAtColumn).value_or(Timestamp::distantPast());
    const auto named = names.constFind(thread.id);
    thread.customName = named != names.constEnd()
        ? std::optional(*named)
        : kept.trimmedText(row, nameColumn, &CodexThread::customName);
    thread.archived = qint32(row.int64(archivedColumn)) != 0;
    thread.gitBranch = kept.trimmedText(row, gitBranchColumn, &CodexThread::gitBranch);
    thread.gitOriginURL = kept.trimmedText(row, gitOriginURLColumn, &CodexThread::gitOriginURL);
    thread.tokensUsed = row.int64(tokensUsedColumn);
    thread.model = kept.trimmedText(row, modelColumn, &CodexThread::model);
    thread.projectID = kept.trimmedText(row, projectIDColumn, &CodexThread::projectID);
    return thread;
}

// The first attempt must not write a byte: Codex's -shm file is shared memory that SQLite
// truncates and rebuilds whenever a connection finds itself the first to attach, and every
// such rewrite would look to our file monitor like a change by Codex. With "readonly_shm"
// SQLite maps an existing -shm read-only and, when no other connection holds it, reads the
// log directly. A database whose side files are missing fails here and is read by the
// second attempt, which may create them.
QString readOnlyUri(const QString &path)
{
    return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded())
           + QStringLiteral("?readonly_shm=1");
}

// The connection is opened, used and closed by one thread within one call: SQLite need not
// lock it at every call into it (with tens of thousands of rows, that was a measurable part
// of a read).
SqliteDatabase openDatabase(const QString &path, bool allowsSidecarWrites)
{
    try {
        SqliteDatabase database = allowsSidecarWrites
            ? SqliteDatabase(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX)
            : SqliteDatabase(readOnlyUri(path),
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI);
        // A read-write connection that is the last to close would otherwise checkpoint
        // Codex's log into its database and delete the -wal and -shm files.
        database.preserveForeignWalFiles();
        database.setBusyTimeout(CodexStore::busyTimeoutMilliseconds);
        if (allowsSidecarWrites)
            database.execute(QStringLiteral("PRAGMA query_only = ON"));
        return database;
    } catch (const SqliteError &error) {
        throw CodexStoreError(CodexStoreErrorKind::openFailed, error.detail());
    }
}

// The names of the columns of one of Codex's tables; empty when the table does not exist.
QSet<QString> tableColumns(SqliteDatabase &database, QLatin1String table)
{
    QSet<QString> columns;
    try {
        SqliteStatement tableInfo(database, QStringLiteral("PRAGMA table_info(%1)").arg(table));
        while (tableInfo.step())
            columns.insert(tableInfo.text(1));
    } catch (const SqliteError &error) {
        throw CodexStoreError(CodexStoreErrorKind::readFailed, error.detail());
    }
    return columns;
}

CodexProjectRecords readProjectRecords(SqliteDatabase &database)
{
    CodexProjectRecords records;
    const QSet<QString> projectColumns = tableColumns(database, QLatin1String("projects"));
    const QSet<QString> rootColumns = tableColumns(database, QLatin1String("project_roots"));
    const auto has = [](const QSet<QString> &columns, const char *name) {
        return columns.contains(QLatin1String(name));
    };
    try {
        if (has(projectColumns, "id") && has(projectColumns, "name")) {
            SqliteStatement rows(database, QStringLiteral("SELECT id, name FROM projects"));
            while (rows.step()) {
                if (const std::optional<QString> name = trimmedText(rows, 1))
                    records.namesByID.insert(rows.text(0), *name);
            }
        }
        if (has(rootColumns, "project_id") && has(rootColumns, "path")) {
            SqliteStatement rows(database,
                                 QStringLiteral("SELECT project_id, path FROM project_roots"));
            while (rows.step()) {
                const QString path = rows.text(1).trimmed();
                if (rows.isNull(0) || path.isEmpty())
                    continue;
                QStringList &ids = records.projectIDsByPath[standardizedPath(path)];
                if (!ids.contains(rows.text(0)))
                    ids.append(rows.text(0));
            }
            for (QStringList &ids : records.projectIDsByPath)
                ids.sort();
        }
    } catch (const SqliteError &error) {
        throw CodexStoreError(CodexStoreErrorKind::readFailed, error.detail());
    }
    return records;
}

// The names of the columns Codex's table has; empty when there is no table.
QSet<QString> threadColumns(SqliteDatabase &database)
{
    std::optional<SqliteStatement> tableInfo;
    try {
        tableInfo.emplace(database, QStringLiteral("PRAGMA table_info(threads)"));
    } catch (const SqliteError &error) {
        throw CodexStoreError(CodexStoreErrorKind::prepareFailed, error.detail());
    }
    QSet<QString> columns;
    try {
        while (tableInfo->step())
            columns.insert(tableInfo->text(1));
    } catch (const SqliteError &error) {
        throw CodexStoreError(CodexStoreErrorKind::readFailed, error.detail());
    }
    return columns;
}

// Throws unless the database and its side files are regular files or absent: SQLite opens
// them blocking, so a FIFO in their place would hang the refresh (and quitting) for ever.
// Between this check and SQLite's open the files could still be swapped; that race needs a
// writer in Codex's folder racing us on purpose, and SQLite gives us no descriptor to check
// instead.
void requireRegularFiles(const QString &databasePath)
{
    struct stat info{};
    const QByteArray native = QFile::encodeName(databasePath);
    if (::stat(native.constData(), &info) != 0)
        throw CodexStoreError(CodexStoreErrorKind::databaseMissing, databasePath);
    for (const QByteArray &suffix : {QByteArray(), QByteArray("-wal"), QByteArray("-shm")}) {
        const QByteArray path = native + suffix;
        if (::stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
            throw CodexStoreError(
                CodexStoreErrorKind::openFailed,
                QStringLiteral("%1 is not a regular file").arg(QFile::decodeName(path)));
        }
    }
}

// Whether the database's log, when there is one, starts with a header SQLite will trust: the
// magic number, and the checksum of the first 24 bytes (words in the order the magic's last
// bit gives). A read-only connection that finds a damaged header retries for about ten
// seconds before it fails with SQLITE_PROTOCOL, while a read-write one ignores the log at
// once; so a damaged header sends the read straight to the second attempt.
bool hasTrustedLogHeader(const QString &databasePath)
{
    constexpr qint64 headerBytes = 32;
    QFile log(databasePath + QStringLiteral("-wal"));
    if (!log.exists() || log.size() < headerBytes)
        return true; // no log, or one SQLite reads as empty
    if (!log.open(QIODevice::ReadOnly))
        return true; // SQLite's own open reports what is wrong
    const QByteArray header = log.read(headerBytes);
    if (header.size() != headerBytes)
        return true;
    const auto bigEndian = [&header](int at) {
        return qFromBigEndian<quint32>(header.constData() + at);
    };
    const auto littleEndian = [&header](int at) {
        return qFromLittleEndian<quint32>(header.constData() + at);
    };
    const quint32 magic = bigEndian(0);
    if (magic != 0x377f0682 && magic != 0x377f0683)
        return false;
    const bool bigEndianWords = (magic & 1) != 0;
    quint32 first = 0;
    quint32 second = 0;
    for (int at = 0; at < 24; at += 8) {
        first += (bigEndianWords ? bigEndian(at) : littleEndian(at)) + second;
        second += (bigEndianWords ? bigEndian(at + 4) : littleEndian(at + 4)) + first;
    }
    return first == bigEndian(24) && second == bigEndian(28);
}

} // namespace

CodexStore::CodexStore(QString databasePath, const QString &sessionIndexPath,
                       CodexTurnLiveness liveness)
    : m_databasePath(std::move(databasePath))
    , m_activityStore(std::move(liveness))
    , m_sessionIndexStore(sessionIndexPath)
{
}

QList<CodexThread> CodexStore::loadThreads(bool includeArchived, bool allowsSidecarWrites) const
{
    requireRegularFiles(m_databasePath);

    QList<CodexThread> threads;
    std::shared_ptr<const std::vector<qsizetype>> rowPositions;
    {
        SqliteDatabase database = openDatabase(m_databasePath, allowsSidecarWrites);
        const QSet<QString> columns = threadColumns(database);
        const QString query = threadsQuery(columns, includeArchived);
        const int keyColumn = orderColumn(columns);
        std::optional<SqliteStatement> rows;
        try {
            rows.emplace(database, query);
        } catch (const SqliteError &error) {
            throw CodexStoreError(CodexStoreErrorKind::prepareFailed,
                                  error.detail() + QStringLiteral(" at ") + m_databasePath);
        }
        const QHash<QString, QString> names = m_sessionIndexStore.loadThreadNames();
        Internal::ThreadTextReuse kept(lastRead());
        threads.reserve(kept.lastReadCount());
        std::vector<qint64> keys;
        keys.reserve(size_t(kept.lastReadCount()));
        try {
            while (rows->step()) {
                threads.append(threadFromRow(*rows, names, kept));
                keys.push_back(rows->int64(keyColumn));
            }
        } catch (const SqliteError &error) {
            throw CodexStoreError(CodexStoreErrorKind::readFailed, error.detail());
        }
        rowPositions = std::make_shared<const std::vector<qsizetype>>(
            sortNewestFirst(threads, keys));
    }
    // The rollout files are read after the connection is closed, so that our read
    // transaction never holds back Codex's checkpoints while we read other files.
    QStringList rolloutPaths;
    rolloutPaths.reserve(threads.size());
    for (const CodexThread &thread : std::as_const(threads))
        rolloutPaths.append(thread.rolloutPath);
    const QList<std::optional<QString>> requests =
        m_activityStore.latestUserRequests(rolloutPaths);
    for (qsizetype i = 0; i < threads.size(); ++i)
        threads[i].latestUserMessage = requests[i];
    {
        const std::lock_guard lock(m_lastReadLock);
        m_lastRead = {threads, std::move(rowPositions)};
    }
    return threads;
}

Internal::ThreadTextReuse::Read CodexStore::lastRead() const
{
    const std::lock_guard lock(m_lastReadLock);
    return m_lastRead;
}

CodexProjectRecords CodexStore::loadProjectRecords(bool allowsSidecarWrites) const
{
    // Called after loadThreads(), which checked the file: a database gone meanwhile fails to
    // open (neither connection may create it).
    SqliteDatabase database = openDatabase(m_databasePath, allowsSidecarWrites);
    return readProjectRecords(database);
}

CodexProjectRecords CodexStore::loadProjectRecords() const
{
    try {
        return loadProjectRecords(false);
    } catch (const CodexStoreError &) {
        return loadProjectRecords(true);
    }
}

QList<CodexThread> CodexStore::loadThreads(bool includeArchived) const
{
    requireRegularFiles(m_databasePath);
    if (!hasTrustedLogHeader(m_databasePath))
        return loadThreads(includeArchived, true);
    try {
        return loadThreads(includeArchived, false);
    } catch (const CodexStoreError &) {
        return loadThreads(includeArchived, true);
    }
}

} // namespace tolvaran
