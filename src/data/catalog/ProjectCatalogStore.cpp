#include "data/catalog/ProjectCatalogStore.h"

#include "data/DataLogging.h"
#include "data/catalog/ProjectCatalogError.h"
#include "work/ForEachSideBySide.h"
#include "platform/Paths.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"

#include <QFile>
#include <QtEndian>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran {

namespace {

using Kind = ProjectCatalogError::Kind;

constexpr int openFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;

// Runs at every open; each statement is a no-op once the tables exist.
const char *const schemaSql =
    "CREATE TABLE IF NOT EXISTS projects (\n"
    "    path TEXT PRIMARY KEY,\n"
    "    name TEXT NOT NULL,\n"
    "    codex_project_id TEXT,\n"
    "    is_pinned INTEGER NOT NULL DEFAULT 0,\n"
    "    first_seen_at REAL NOT NULL,\n"
    "    last_seen_at REAL NOT NULL,\n"
    "    last_activity_at REAL NOT NULL\n"
    ");\n"
    "CREATE TABLE IF NOT EXISTS threads (\n"
    "    id TEXT PRIMARY KEY,\n"
    "    project_path TEXT NOT NULL REFERENCES projects(path) ON DELETE CASCADE,\n"
    "    rollout_path TEXT NOT NULL,\n"
    "    title TEXT NOT NULL,\n"
    "    custom_name TEXT,\n"
    "    preview TEXT NOT NULL,\n"
    "    latest_user_message TEXT,\n"
    "    updated_at REAL NOT NULL,\n"
    "    recency_at REAL NOT NULL,\n"
    "    created_at REAL NOT NULL,\n"
    "    archived INTEGER NOT NULL,\n"
    "    git_branch TEXT,\n"
    "    git_origin_url TEXT,\n"
    "    tokens_used INTEGER NOT NULL,\n"
    "    model TEXT,\n"
    "    codex_project_id TEXT,\n"
    "    is_unread INTEGER NOT NULL DEFAULT 0,\n"
    "    last_seen_at REAL NOT NULL\n"
    ");\n"
    "CREATE INDEX IF NOT EXISTS threads_project_recency "
    "ON threads(project_path, recency_at DESC);\n"
    // The latest request of each rollout as last read, with the file's size and modification
    // time then: a start reads only the tails of the rollouts that changed since.
    "CREATE TABLE IF NOT EXISTS rollout_latest_requests (\n"
    "    rollout_path TEXT PRIMARY KEY,\n"
    "    file_size INTEGER NOT NULL,\n"
    "    modified_at_ns INTEGER NOT NULL,\n"
    "    request TEXT\n"
    ");";

// An existing row is rewritten only when a value differs or its last_seen_at is at least
// lastSeenRefreshSeconds old (filled in for %1), so that a full refresh of unchanged projects
// writes nothing.
// Once known, a Codex project id is never cleared by an absent one; activity only moves
// forward.
const char *const projectUpsertSql =
    "INSERT INTO projects (path, name, codex_project_id, is_pinned, first_seen_at, "
    "last_seen_at, last_activity_at)\n"
    "VALUES (?, ?, ?, ?, ?, ?, ?)\n"
    "ON CONFLICT(path) DO UPDATE SET\n"
    "    name = excluded.name,\n"
    "    codex_project_id = COALESCE(excluded.codex_project_id, projects.codex_project_id),\n"
    "    is_pinned = excluded.is_pinned,\n"
    "    last_seen_at = excluded.last_seen_at,\n"
    "    last_activity_at = MAX(projects.last_activity_at, excluded.last_activity_at)\n"
    "WHERE projects.name IS NOT excluded.name\n"
    "   OR projects.codex_project_id IS NOT "
    "COALESCE(excluded.codex_project_id, projects.codex_project_id)\n"
    "   OR projects.is_pinned IS NOT excluded.is_pinned\n"
    "   OR projects.last_activity_at < excluded.last_activity_at\n"
    "   OR excluded.last_seen_at - projects.last_seen_at >= %1;";

// The same rule for threads; a change of created_at alone causes no rewrite.
const char *const threadUpsertSql =
    "INSERT INTO threads (id, project_path, rollout_path, title, custom_name, preview,\n"
    "    latest_user_message, updated_at, recency_at, created_at, archived, git_branch,\n"
    "    git_origin_url, tokens_used, model, codex_project_id, is_unread, last_seen_at)\n"
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)\n"
    "ON CONFLICT(id) DO UPDATE SET\n"
    "    project_path = excluded.project_path,\n"
    "    rollout_path = excluded.rollout_path,\n"
    "    title = excluded.title,\n"
    "    custom_name = excluded.custom_name,\n"
    "    preview = excluded.preview,\n"
    "    latest_user_message = excluded.latest_user_message,\n"
    "    updated_at = excluded.updated_at,\n"
    "    recency_at = excluded.recency_at,\n"
    "    created_at = excluded.created_at,\n"
    "    archived = excluded.archived,\n"
    "    git_branch = excluded.git_branch,\n"
    "    git_origin_url = excluded.git_origin_url,\n"
    "    tokens_used = excluded.tokens_used,\n"
    "    model = excluded.model,\n"
    "    codex_project_id = COALESCE(excluded.codex_project_id, threads.codex_project_id),\n"
    "    is_unread = excluded.is_unread,\n"
    "    last_seen_at = excluded.last_seen_at\n"
    "WHERE threads.project_path IS NOT excluded.project_path\n"
    "   OR threads.rollout_path IS NOT excluded.rollout_path\n"
    "   OR threads.title IS NOT excluded.title\n"
    "   OR threads.custom_name IS NOT excluded.custom_name\n"
    "   OR threads.preview IS NOT excluded.preview\n"
    "   OR threads.latest_user_message IS NOT excluded.latest_user_message\n"
    "   OR threads.updated_at IS NOT excluded.updated_at\n"
    "   OR threads.recency_at IS NOT excluded.recency_at\n"
    "   OR threads.archived IS NOT excluded.archived\n"
    "   OR threads.git_branch IS NOT excluded.git_branch\n"
    "   OR threads.git_origin_url IS NOT excluded.git_origin_url\n"
    "   OR threads.tokens_used IS NOT excluded.tokens_used\n"
    "   OR threads.model IS NOT excluded.model\n"
    "   OR threads.codex_project_id IS NOT "
    "COALESCE(excluded.codex_project_id, threads.codex_project_id)\n"
    "   OR threads.is_unread IS NOT excluded.is_unread\n"
    "   OR excluded.last_seen_at - threads.last_seen_at >= %1;";

const char *const rememberProjectSql =
    "INSERT INTO projects (path, name, codex_project_id, is_pinned, first_seen_at, "
    "last_seen_at, last_activity_at)\n"
    "VALUES (?, ?, NULL, 0, ?, ?, ?)\n"
    "ON CONFLICT(path) DO UPDATE SET name = excluded.name, last_seen_at = excluded.last_seen_at;";

// Rows are stored under the standardised path; the spelling the caller gave is matched too,
// so that a caller holding either spelling reaches the one row.
const char *const updateProjectSql =
    "UPDATE projects\n"
    "SET name = COALESCE(?, name), is_pinned = COALESCE(?, is_pinned)\n"
    "WHERE path IN (?, ?);";

const char *const markThreadReadSql = "UPDATE threads SET is_unread = 0 WHERE id = ?";

const char *const readProjectsSql =
    "SELECT path, name, codex_project_id, is_pinned, last_activity_at FROM projects";

const char *const readThreadsSql =
    "SELECT id, project_path, rollout_path, title, custom_name, preview, latest_user_message,\n"
    "       updated_at, recency_at, created_at, archived, git_branch, git_origin_url,\n"
    "       tokens_used, model, codex_project_id, is_unread\n"
    "FROM threads ";

// One saved project row.
struct ProjectRecord
{
    QString path;
    QString name;
    std::optional<QString> codexProjectID;
    bool isPinned = false;
    Timestamp lastActivityAt;
};

// One saved thread row.
struct ThreadRecord
{
    CodexThread thread;
    bool isUnread = false;
};

[[noreturn]] void fail(Kind kind, const SqliteError &cause)
{
    qCWarning(lcData).noquote() << "Project catalog:" << cause.message();
    throw ProjectCatalogError(kind);
}

// The upsert statements with the refresh interval filled in.
QString upsertSql(const char *sql)
{
    return QString::fromUtf8(sql).arg(ProjectCatalogStore::lastSeenRefreshSeconds);
}

// The trimmed name; when blank, the folder's own name; when that is empty too, the path.
QString normalizedName(const QString &name, const QString &path)
{
    const QString trimmed = name.trimmed();
    if (!trimmed.isEmpty())
        return trimmed;
    const QString folder = lastPathComponent(path);
    return folder.isEmpty() ? path : folder;
}

// Nullable text columns never hold the empty string.
void bindOptional(SqliteStatement &statement, int index, const std::optional<QString> &value)
{
    if (value && !value->isEmpty())
        statement.bind(index, *value);
    else
        statement.bindNull(index);
}

std::optional<QString> optionalText(const SqliteStatement &statement, int column)
{
    if (statement.isNull(column))
        return std::nullopt;
    const QString trimmed = statement.text(column).trimmed();
    return trimmed.isEmpty() ? std::nullopt : std::optional<QString>(trimmed);
}

// Opens the catalog, creating its folder (0700), file (0600) and tables when missing.
SqliteDatabase openCatalog(const std::optional<QString> &databasePath)
{
    if (!databasePath)
        throw ProjectCatalogError(Kind::databaseOpenFailed);
    const QString folder = QFileInfo(*databasePath).absolutePath();
    if (!ensureApplicationSupportDirectory(folder))
        throw Error(QStringLiteral("Could not create the folder \"%1\".").arg(folder));
    preparePrivateDatabaseFile(*databasePath);

    std::optional<SqliteDatabase> db;
    try {
        db.emplace(*databasePath, openFlags);
        db->setBusyTimeout(ProjectCatalogStore::busyTimeoutMilliseconds);
        db->execute(QStringLiteral("PRAGMA foreign_keys = ON"));
    } catch (const SqliteError &error) {
        fail(Kind::databaseOpenFailed, error);
    }
    try {
        db->execute(QString::fromUtf8(schemaSql));
    } catch (const SqliteError &error) {
        fail(Kind::databaseWriteFailed, error);
    }
    return std::move(*db);
}

void upsertProject(SqliteStatement &statement, const CodexProject &project, const QString &path,
                   Timestamp observedAt)
{
    statement.reset();
    statement.bind(1, path);
    statement.bind(2, normalizedName(project.name(), path));
    bindOptional(statement, 3, project.codexProjectID());
    statement.bind(4, project.isPinned() ? 1 : 0);
    statement.bind(5, observedAt.seconds);
    statement.bind(6, observedAt.seconds);
    statement.bind(7, project.lastUpdated().seconds);
    statement.run();
}

void upsertThread(SqliteStatement &statement, const CodexThread &thread,
                  const QString &projectPath, bool isUnread, Timestamp observedAt)
{
    statement.reset();
    statement.bind(1, thread.id);
    statement.bind(2, projectPath);
    statement.bind(3, thread.rolloutPath);
    statement.bind(4, thread.title);
    bindOptional(statement, 5, thread.customName);
    statement.bind(6, thread.preview);
    bindOptional(statement, 7, thread.latestUserMessage);
    statement.bind(8, thread.updatedAt.seconds);
    statement.bind(9, thread.recencyAt.seconds);
    statement.bind(10, thread.createdAt.seconds);
    statement.bind(11, thread.archived ? 1 : 0);
    bindOptional(statement, 12, thread.gitBranch);
    bindOptional(statement, 13, thread.gitOriginURL);
    statement.bind(14, thread.tokensUsed);
    bindOptional(statement, 15, thread.model);
    bindOptional(statement, 16, thread.projectID);
    statement.bind(17, isUnread ? 1 : 0);
    statement.bind(18, observedAt.seconds);
    statement.run();
}

QList<ProjectRecord> readProjects(SqliteDatabase &db)
{
    SqliteStatement statement(db, QString::fromUtf8(readProjectsSql));
    QList<ProjectRecord> records;
    while (statement.step()) {
        ProjectRecord record;
        record.path = statement.text(0);
        record.name = statement.text(1);
        record.codexProjectID = optionalText(statement, 2);
        record.isPinned = statement.int64(3) != 0;
        record.lastActivityAt = Timestamp::fromSeconds(statement.real(4));
        records.append(std::move(record));
    }
    return records;
}

// Every thread, or (when `projectPath` is given) the threads of one project.
QList<ThreadRecord> readThreads(SqliteDatabase &db, bool includeArchived,
                                const std::optional<QString> &projectPath = std::nullopt)
{
    QStringList conditions;
    if (!includeArchived)
        conditions.append(QStringLiteral("archived = 0"));
    if (projectPath)
        conditions.append(QStringLiteral("project_path = ?"));
    const QString sql = QString::fromUtf8(readThreadsSql)
                        + (conditions.isEmpty() ? QString()
                                                : QStringLiteral("WHERE ")
                                  + conditions.join(QStringLiteral(" AND ")))
                        + QStringLiteral("\nORDER BY recency_at DESC;");
    SqliteStatement statement(db, sql);
    if (projectPath)
        statement.bind(1, *projectPath);
    QList<ThreadRecord> records;
    while (statement.step()) {
        ThreadRecord record;
        CodexThread &thread = record.thread;
        thread.id = statement.text(0);
        thread.cwd = statement.text(1);
        thread.rolloutPath = statement.text(2);
        thread.title = statement.text(3);
        thread.customName = optionalText(statement, 4);
        thread.preview = statement.text(5);
        thread.latestUserMessage = optionalText(statement, 6);
        thread.updatedAt = Timestamp::fromSeconds(statement.real(7));
        thread.recencyAt = Timestamp::fromSeconds(statement.real(8));
        thread.createdAt = Timestamp::fromSeconds(statement.real(9));
        thread.archived = statement.int64(10) != 0;
        thread.gitBranch = optionalText(statement, 11);
        thread.gitOriginURL = optionalText(statement, 12);
        thread.tokensUsed = statement.int64(13);
        thread.model = optionalText(statement, 14);
        thread.projectID = optionalText(statement, 15);
        record.isUnread = statement.int64(16) != 0;
        records.append(std::move(record));
    }
    return records;
}

// What a thread's upsert binds, as one number: equal numbers mean the upsert would find
// what it found the last time.
// What the project upsert binds, but for the times of the observation.
size_t projectValuesHash(const CodexProject &project, const QString &path)
{
    return qHashMulti(0, path, normalizedName(project.name(), path),
                      project.codexProjectID().value_or(QString()),
                      project.codexProjectID().has_value(), project.isPinned(),
                      project.lastUpdated().seconds);
}

size_t threadValuesHash(const CodexThread &thread, const QString &projectPath, bool isUnread)
{
    return qHashMulti(0, projectPath, thread.id, thread.rolloutPath, thread.title,
                      thread.customName.value_or(QString()), thread.customName.has_value(),
                      thread.preview, thread.latestUserMessage.value_or(QString()),
                      thread.latestUserMessage.has_value(), thread.updatedAt.seconds,
                      thread.recencyAt.seconds, thread.createdAt.seconds, thread.archived,
                      thread.gitBranch.value_or(QString()), thread.gitBranch.has_value(),
                      thread.gitOriginURL.value_or(QString()), thread.gitOriginURL.has_value(),
                      thread.tokensUsed, thread.model.value_or(QString()),
                      thread.model.has_value(), thread.projectID.value_or(QString()),
                      thread.projectID.has_value(), isUnread);
}

} // namespace

ProjectCatalogStore::ProjectCatalogStore(const QString &applicationSupportDirectory)
{
    if (!applicationSupportDirectory.isEmpty()) {
        m_databasePath = applicationSupportDirectory + QLatin1Char('/')
                         + QLatin1String(databaseFileName);
    }
}

void ProjectCatalogStore::synchronize(const QList<CodexProject> &projects, Timestamp observedAt)
{
    std::lock_guard lock(m_mutex);
    // What the store knows of the thread rows holds while the file is as its last
    // synchronisation left it (no other operation or process committed since).
    const std::optional<quint32> counterBefore = fileChangeCounter();
    if (!m_threadRows || !counterBefore || m_threadRows->changeCounter != *counterBefore)
        m_threadRows.reset();
    std::optional<ThreadRows> rows = std::move(m_threadRows);
    m_threadRows.reset();

    // The values of every thread are hashed first, side by side: hashing every field of ten
    // thousand unchanged threads is most of what their synchronisation costs. A project whose
    // threads are the very list the last synchronisation wrote (kept here, so that the same
    // address means the same contents), with the same unread threads, has the values it had:
    // its threads are not hashed again.
    std::vector<QString> paths;
    paths.reserve(size_t(projects.size()));
    std::vector<char> projectUnchanged(size_t(projects.size()), 0);
    std::vector<std::pair<const CodexThread *, qsizetype>> threads; // with their project
    for (qsizetype index = 0; index < projects.size(); ++index) {
        const CodexProject &project = projects[index];
        paths.push_back(standardizedPath(project.path()));
        if (rows) {
            const auto synced = rows->syncedProjects.constFind(paths.back());
            projectUnchanged[size_t(index)] = synced != rows->syncedProjects.cend()
                && synced->threads.constData() == project.threads().constData()
                && synced->threads.size() == project.threads().size()
                && synced->unreadThreadIDs == project.unreadThreadIDs();
        }
        for (const CodexThread &thread : project.threads())
            threads.emplace_back(&thread, index);
    }
    std::vector<size_t> threadValues(threads.size());
    std::vector<char> threadUnread(threads.size());
    const auto hashValues = [&](size_t i) {
        const auto &[thread, project] = threads[i];
        threadValues[i] = threadValuesHash(*thread, paths[size_t(project)], threadUnread[i]);
    };
    {
        const size_t workers = std::clamp<size_t>(threads.size() / threadsPerHashingThread, 1,
                                                  maximumHashingThreads);
        forEachSideBySide(threads.size(), workers, [&](size_t i) {
            const auto &[thread, project] = threads[i];
            threadUnread[i] = projects[project].unreadThreadIDs().contains(thread->id);
            if (!projectUnchanged[size_t(project)])
                hashValues(i);
        });
    }

    {
        SqliteDatabase db = openCatalog(m_databasePath);
        try {
            // Taking the write lock before reading anything keeps two synchronisations (from
            // this process or another) from interleaving. Unless committed, the transaction
            // rolls back when it goes, after the statements are finalised.
            SqliteTransaction transaction(db);
            if (!rows) {
                rows = ThreadRows{};
                SqliteStatement seen(db, QStringLiteral("SELECT id, last_seen_at FROM threads"));
                while (seen.step())
                    rows->byID.insert(seen.text(0), ThreadRow{0, seen.real(1), false});
                SqliteStatement projectsSeen(
                    db, QStringLiteral("SELECT path, last_seen_at FROM projects"));
                while (projectsSeen.step())
                    rows->projectsByPath.insert(projectsSeen.text(0),
                                                ThreadRow{0, projectsSeen.real(1), false});
            }
            {
                SqliteStatement projectUpsert(db, upsertSql(projectUpsertSql));
                SqliteStatement threadUpsert(db, upsertSql(threadUpsertSql));
                size_t threadIndex = 0;
                for (qsizetype index = 0; index < projects.size(); ++index) {
                    const CodexProject &project = projects[index];
                    const QString &path = paths[size_t(index)];
                    const size_t projectValues = projectValuesHash(project, path);
                    ThreadRow &projectRow = rows->projectsByPath[path];
                    const double projectAge = observedAt.seconds - projectRow.lastSeenAt;
                    if (!projectRow.valuesKnown || projectRow.values != projectValues
                        || projectAge < 0 || projectAge >= lastSeenRefreshSeconds) {
                        upsertProject(projectUpsert, project, path, observedAt);
                        if (db.changes() > 0)
                            projectRow.lastSeenAt = observedAt.seconds;
                        projectRow.values = projectValues;
                        projectRow.valuesKnown = true;
                    }
                    for (const CodexThread &thread : project.threads()) {
                        const bool isUnread = threadUnread[threadIndex] != 0;
                        ThreadRow &row = rows->byID[thread.id];
                        if (projectUnchanged[size_t(index)] && !row.valuesKnown)
                            hashValues(threadIndex);
                        const size_t values = projectUnchanged[size_t(index)] && row.valuesKnown
                            ? row.values
                            : threadValues[threadIndex];
                        ++threadIndex;
                        // The upsert would leave this row alone: same values, seen lately.
                        const double age = observedAt.seconds - row.lastSeenAt;
                        if (row.valuesKnown && row.values == values && age >= 0
                            && age < lastSeenRefreshSeconds)
                            continue;
                        upsertThread(threadUpsert, thread, path, isUnread, observedAt);
                        if (db.changes() > 0)
                            row.lastSeenAt = observedAt.seconds;
                        row.values = values;
                        row.valuesKnown = true;
                    }
                }
            }
            transaction.commit();
        } catch (const SqliteError &error) {
            fail(Kind::databaseWriteFailed, error);
        }
    } // closed, before the file is read below
    QHash<QString, SyncedProject> synced;
    synced.reserve(projects.size());
    for (qsizetype index = 0; index < projects.size(); ++index) {
        synced.insert(paths[size_t(index)],
                      {projects[index].threads(), projects[index].unreadThreadIDs()});
    }
    rows->syncedProjects = std::move(synced);
    if (const std::optional<quint32> counter = fileChangeCounter()) {
        rows->changeCounter = *counter;
        m_threadRows = std::move(rows);
    }
}

std::optional<quint32> ProjectCatalogStore::fileChangeCounter() const
{
    // SQLite counts every commit in bytes 24 to 27 of the file's header (big-endian) when it
    // keeps a rollback journal, as the catalog does. Read only while the store has no
    // connection open: closing a descriptor of the file would drop SQLite's locks on it.
    if (!m_databasePath)
        return std::nullopt;
    QFile file(*m_databasePath);
    constexpr qint64 counterOffset = 24;
    if (!file.open(QIODevice::ReadOnly) || !file.seek(counterOffset))
        return std::nullopt;
    const QByteArray bytes = file.read(4);
    if (bytes.size() != 4)
        return std::nullopt;
    return qFromBigEndian<quint32>(bytes.constData());
}

QList<CodexProject> ProjectCatalogStore::loadProjects(bool includeArchived) const
{
    return loadProjects(includeArchived, {});
}

QList<CodexProject> ProjectCatalogStore::loadProjects(bool includeArchived,
                                                      const QSet<QString> &omittedPaths) const
{
    std::lock_guard lock(m_mutex);
    SqliteDatabase db = openCatalog(m_databasePath);
    QList<ProjectRecord> projectRecords;
    QList<ThreadRecord> threadRecords;
    try {
        projectRecords = readProjects(db);
        if (omittedPaths.isEmpty()) {
            threadRecords = readThreads(db, includeArchived);
        } else {
            // Usually few projects are left, or none: their threads are read one project at
            // a time through the project index.
            for (const ProjectRecord &record : std::as_const(projectRecords)) {
                if (!omittedPaths.contains(record.path))
                    threadRecords.append(readThreads(db, includeArchived, record.path));
            }
        }
    } catch (const SqliteError &error) {
        fail(Kind::databaseReadFailed, error);
    }

    QHash<QString, QList<CodexThread>> threadsByPath;
    QHash<QString, QSet<QString>> unreadByPath;
    for (ThreadRecord &record : threadRecords) {
        if (record.isUnread)
            unreadByPath[record.thread.cwd].insert(record.thread.id);
        threadsByPath[record.thread.cwd].append(std::move(record.thread));
    }

    QList<CodexProject> projects;
    projects.reserve(projectRecords.size());
    for (const ProjectRecord &record : projectRecords) {
        if (omittedPaths.contains(record.path))
            continue;
        QList<CodexThread> threads = threadsByPath.value(record.path);
        std::stable_sort(threads.begin(), threads.end(),
                         [](const CodexThread &a, const CodexThread &b) {
                             return a.recencyAt > b.recencyAt;
                         });
        projects.append(CodexProject(record.path, std::move(threads), record.isPinned,
                                     unreadByPath.value(record.path), {},
                                     record.codexProjectID, record.name,
                                     record.lastActivityAt));
    }
    std::stable_sort(projects.begin(), projects.end(),
                     [](const CodexProject &a, const CodexProject &b) {
                         return a.lastUpdated() > b.lastUpdated();
                     });
    return projects;
}

void ProjectCatalogStore::rememberProject(const QString &path, const QString &name,
                                          Timestamp observedAt)
{
    const QString standardPath = standardizedPath(path);
    const QString normalName = normalizedName(name, standardPath);
    std::lock_guard lock(m_mutex);
    m_threadRows.reset();
    SqliteDatabase db = openCatalog(m_databasePath);
    try {
        SqliteStatement statement(db, QString::fromUtf8(rememberProjectSql));
        statement.bind(1, standardPath);
        statement.bind(2, normalName);
        statement.bind(3, observedAt.seconds);
        statement.bind(4, observedAt.seconds);
        statement.bind(5, observedAt.seconds);
        statement.run();
    } catch (const SqliteError &error) {
        fail(Kind::databaseWriteFailed, error);
    }
}

void ProjectCatalogStore::updateProject(const QString &path, const std::optional<QString> &name,
                                        std::optional<bool> isPinned)
{
    std::lock_guard lock(m_mutex);
    m_threadRows.reset();
    SqliteDatabase db = openCatalog(m_databasePath);
    try {
        SqliteStatement statement(db, QString::fromUtf8(updateProjectSql));
        bindOptional(statement, 1, name ? std::optional<QString>(name->trimmed()) : name);
        if (isPinned)
            statement.bind(2, *isPinned ? 1 : 0);
        else
            statement.bindNull(2);
        statement.bind(3, standardizedPath(path));
        statement.bind(4, path);
        statement.run();
    } catch (const SqliteError &error) {
        fail(Kind::databaseWriteFailed, error);
    }
}

void ProjectCatalogStore::markThreadRead(const QString &threadID)
{
    std::lock_guard lock(m_mutex);
    m_threadRows.reset();
    SqliteDatabase db = openCatalog(m_databasePath);
    try {
        SqliteStatement statement(db, QString::fromUtf8(markThreadReadSql));
        statement.bind(1, threadID);
        statement.run();
    } catch (const SqliteError &error) {
        fail(Kind::databaseWriteFailed, error);
    }
}

QList<RolloutRequestRecord> ProjectCatalogStore::loadLatestRequests() const
{
    std::lock_guard lock(m_mutex);
    SqliteDatabase db = openCatalog(m_databasePath);
    QList<RolloutRequestRecord> records;
    try {
        SqliteStatement query(db, QStringLiteral("SELECT rollout_path, file_size, "
                                                 "modified_at_ns, request "
                                                 "FROM rollout_latest_requests"));
        while (query.step()) {
            records.append({query.text(0), quint64(std::max<qint64>(query.int64(1), 0)),
                            query.int64(2), optionalText(query, 3)});
        }
    } catch (const SqliteError &error) {
        fail(Kind::databaseReadFailed, error);
    }
    return records;
}

void ProjectCatalogStore::saveLatestRequests(const QList<RolloutRequestRecord> &read,
                                             const QStringList &removed)
{
    if (read.isEmpty() && removed.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    // These rows are apart from the thread rows: what the store knows of those still holds
    // after this commit, if it held before.
    const std::optional<quint32> counterBefore = fileChangeCounter();
    const bool threadRowsHeld =
        m_threadRows && counterBefore && m_threadRows->changeCounter == *counterBefore;
    std::optional<ThreadRows> threadRows;
    if (threadRowsHeld)
        threadRows = std::move(m_threadRows);
    m_threadRows.reset();
    {
        SqliteDatabase db = openCatalog(m_databasePath);
        try {
            SqliteTransaction transaction(db);
            SqliteStatement insert(db, QStringLiteral("INSERT OR REPLACE INTO "
                                                      "rollout_latest_requests "
                                                      "VALUES (?, ?, ?, ?)"));
            for (const RolloutRequestRecord &record : read) {
                insert.reset();
                insert.bind(1, record.rolloutPath);
                insert.bind(2, qint64(record.fileSize));
                insert.bind(3, record.modificationNanoseconds);
                bindOptional(insert, 4, record.request);
                insert.run();
            }
            SqliteStatement remove(db, QStringLiteral("DELETE FROM rollout_latest_requests "
                                                      "WHERE rollout_path = ?"));
            for (const QString &path : removed) {
                remove.reset();
                remove.bind(1, path);
                remove.run();
            }
            transaction.commit();
        } catch (const SqliteError &error) {
            fail(Kind::databaseWriteFailed, error);
        }
    }
    const std::optional<quint32> counterAfter = fileChangeCounter();
    if (threadRows && counterAfter) {
        threadRows->changeCounter = *counterAfter;
        m_threadRows = std::move(threadRows);
    }
}

} // namespace tolvaran
