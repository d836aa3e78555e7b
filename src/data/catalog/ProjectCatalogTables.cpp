#include "data/catalog/ProjectCatalogTables.h"

#include "data/DataLogging.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "platform/Paths.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace tolvaran::Internal {

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

const char *const readProjectsSql =
    "SELECT path, name, codex_project_id, is_pinned, last_activity_at FROM projects";

const char *const readThreadsSql =
    "SELECT id, project_path, rollout_path, title, custom_name, preview, latest_user_message,\n"
    "       updated_at, recency_at, created_at, archived, git_branch, git_origin_url,\n"
    "       tokens_used, model, codex_project_id, is_unread\n"
    "FROM threads ";

// The upsert statements with the refresh interval filled in.
QString upsertSql(const char *sql)
{
    return QString::fromUtf8(sql).arg(ProjectCatalogStore::lastSeenRefreshSeconds);
}

} // namespace

void failCatalog(Kind kind, const SqliteError &cause)
{
    qCWarning(lcData).noquote() << "Project catalog:" << cause.message();
    throw ProjectCatalogError(kind);
}

QString projectUpsertStatement()
{
    return upsertSql(projectUpsertSql);
}

QString threadUpsertStatement()
{
    return upsertSql(threadUpsertSql);
}

QString normalizedName(const QString &name, const QString &path)
{
    const QString trimmed = name.trimmed();
    if (!trimmed.isEmpty())
        return trimmed;
    const QString folder = lastPathComponent(path);
    return folder.isEmpty() ? path : folder;
}

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
        failCatalog(Kind::databaseOpenFailed, error);
    }
    try {
        db->execute(QString::fromUtf8(schemaSql));
    } catch (const SqliteError &error) {
        failCatalog(Kind::databaseWriteFailed, error);
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

QList<ThreadRecord> readThreads(SqliteDatabase &db, bool includeArchived,
                                const std::optional<QString> &projectPath)
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

} // namespace tolvaran::Internal
