#include "data/catalog/ProjectCatalogStore.h"

#include "data/catalog/ProjectCatalogError.h"
#include "data/catalog/ProjectCatalogTables.h"
#include "work/ForEachSideBySide.h"
#include "platform/Paths.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"

#include <QFile>
#include <QtEndian>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <utility>
#include <vector>

namespace tolvaran {

using namespace Internal;

namespace {

using Kind = ProjectCatalogError::Kind;

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
                SqliteStatement projectUpsert(db, projectUpsertStatement());
                SqliteStatement threadUpsert(db, threadUpsertStatement());
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
            failCatalog(Kind::databaseWriteFailed, error);
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
        failCatalog(Kind::databaseReadFailed, error);
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
        failCatalog(Kind::databaseWriteFailed, error);
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
        failCatalog(Kind::databaseWriteFailed, error);
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
        failCatalog(Kind::databaseWriteFailed, error);
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
        failCatalog(Kind::databaseReadFailed, error);
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
            failCatalog(Kind::databaseWriteFailed, error);
        }
    }
    const std::optional<quint32> counterAfter = fileChangeCounter();
    if (threadRows && counterAfter) {
        threadRows->changeCounter = *counterAfter;
        m_threadRows = std::move(threadRows);
    }
}

} // namespace tolvaran
