#pragma once

#include "data/catalog/CodexProject.h"
#include "data/codex/RolloutRequestRecord.h"
#include "platform/ApplicationSupport.h"
#include "platform/Timestamp.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <mutex>
#include <optional>

namespace tolvaran {

// The program's own record of every project folder and every Codex thread it has seen, in
// "project-catalog-v1.sqlite" in the application-support folder. It lets the window show
// projects that Codex no longer lists (or all of them, when Codex cannot be read), projects
// the user created before Codex knew them, pins, names and read marks. Rows are never deleted.
//
// Synchronous and without a cache: every operation opens its own connection, does its work
// and closes it again, all under the store's lock, so operations from any thread run one at a
// time. Another process (a second copy of the program) is waited for up to the busy timeout.
// Failures throw ProjectCatalogError, except that a folder that cannot be created throws the
// base Error with the file system's reason; the connection is closed before either leaves.
// Projects are keyed by their standardised path (standardizedPath), so "/a/b" and "/a/b/"
// are one project.
class ProjectCatalogStore final
{
public:
    static constexpr const char *databaseFileName = "project-catalog-v1.sqlite";
    // How long an operation waits for another connection's lock before it fails.
    static constexpr int busyTimeoutMilliseconds = 2000;
    // A row whose values did not change is rewritten (to refresh its last_seen_at) at most
    // this often, so that a full refresh of unchanged projects writes nothing.
    static constexpr int lastSeenRefreshSeconds = 300;
    // A synchronisation hashes the threads' values on up to this many threads, one for every
    // this many threads.
    static constexpr size_t maximumHashingThreads = 4;
    static constexpr size_t threadsPerHashingThread = 2048;

    // The catalog in `applicationSupportDirectory`; an empty folder means there is none, and
    // every operation then fails with databaseOpenFailed. Touches no file.
    explicit ProjectCatalogStore(
        const QString &applicationSupportDirectory = defaultApplicationSupportDirectory());
    ProjectCatalogStore(const ProjectCatalogStore &) = delete;
    ProjectCatalogStore &operator=(const ProjectCatalogStore &) = delete;

    // The database file, or nothing when there is no application-support folder.
    const std::optional<QString> &databasePath() const { return m_databasePath; }

    // Writes `projects` (Codex's current projects) and their threads in one transaction:
    // applied completely or not at all. Unchanged rows are left alone.
    void synchronize(const QList<CodexProject> &projects, Timestamp observedAt);

    // Every saved project, newest activity first, with its saved threads (archived ones only
    // when asked; a project whose threads are all hidden is still returned, without threads).
    QList<CodexProject> loadProjects(bool includeArchived) const;
    // The same without the projects at `omittedPaths` (as stored): those the caller has from
    // Codex already, whose threads are then not read at all.
    QList<CodexProject> loadProjects(bool includeArchived,
                                     const QSet<QString> &omittedPaths) const;

    // Records a folder the user has just created, before Codex knows it. An existing row keeps
    // its pin, Codex id, first-seen and activity times.
    void rememberProject(const QString &path, const QString &name, Timestamp observedAt);

    // Changes only what is given: a blank name keeps the stored one. No such project is no
    // error.
    void updateProject(const QString &path, const std::optional<QString> &name,
                       std::optional<bool> isPinned);

    // Clears the thread's unread mark. No such thread is no error.
    void markThreadRead(const QString &threadID);

    // The latest requests of the rollouts as last read (CodexActivityStore::seedUserRequests).
    QList<RolloutRequestRecord> loadLatestRequests() const;
    // Keeps `read` (replacing what was kept for the same rollouts) and forgets the rollouts
    // `removed`, in one transaction.
    void saveLatestRequests(const QList<RolloutRequestRecord> &read, const QStringList &removed);

private:
    // What the store knows of the thread and project rows, so that a synchronisation of
    // unchanged threads and projects runs no statement for them: what each upsert bound, and
    // the row's last_seen_at.
    struct ThreadRow
    {
        size_t values = 0;
        double lastSeenAt = 0;
        bool valuesKnown = false;
    };
    // The threads of a project as the last synchronisation wrote them (the list is shared
    // with the caller's, not copied).
    struct SyncedProject
    {
        QList<CodexThread> threads;
        QSet<QString> unreadThreadIDs;
    };
    struct ThreadRows
    {
        QHash<QString, ThreadRow> byID;
        QHash<QString, ThreadRow> projectsByPath;
        QHash<QString, SyncedProject> syncedProjects; // by standardised path
        quint32 changeCounter = 0; // the file's commit counter when they were right
    };

    std::optional<quint32> fileChangeCounter() const;

    std::optional<QString> m_databasePath;
    mutable std::mutex m_mutex;
    std::optional<ThreadRows> m_threadRows;
};

} // namespace tolvaran
