#include "coordinator/RepositoryRefreshScheduler.h"

#include "data/catalog/CodexProject.h"
#include "data/git/ProjectMetadataCache.h"
#include "team_interface/TeamWorkspaceService.h"
#include "work/BackgroundJob.h"
#include "platform/file_events/FileSystemEventMonitor.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace tolvaran {

RepositoryRefreshScheduler::RepositoryRefreshScheduler(Access owner,
                                                       ProjectMetadataCache &metadataCache,
                                                       TeamWorkspaceService &teamService)
    : m_owner(std::move(owner))
    , m_metadataCache(metadataCache)
    , m_teamService(teamService)
{
}

RepositoryRefreshScheduler::~RepositoryRefreshScheduler()
{
    m_monitor.reset();
}

QStringList RepositoryRefreshScheduler::existingProjectPaths() const
{
    QStringList paths;
    for (const CodexProject &project : m_owner.projects()) {
        if (QFileInfo(project.path()).isDir())
            paths.append(project.path());
    }
    // Longest first: an event inside a nested project then matches the deeper project.
    std::sort(paths.begin(), paths.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
    return paths;
}

void RepositoryRefreshScheduler::configureRepositoryMonitor()
{
    const QStringList existing = existingProjectPaths();
    const ProjectMetadataCacheSnapshot snapshot = m_metadataCache.currentSnapshot();

    // Folders known not to be repositories, and without a ".git" entry, are not watched.
    QStringList monitored;
    for (const QString &path : existing) {
        const auto status = snapshot.gitStatuses.constFind(path);
        if (status == snapshot.gitStatuses.constEnd() || status->isRepository
            || QFileInfo::exists(path + QLatin1String("/.git")))
            monitored.append(path);
    }
    if (monitored == m_monitoredProjectPaths)
        return;
    m_monitoredProjectPaths = monitored;

    // The first start of a run resumes from the last event handled, so changes made while the
    // program was not running are caught up. Later restarts (the folder list changed) follow
    // a watch that ran until now: resuming there would only make the monitor, which cannot
    // replay past changes, ask for a rescan of every folder.
    quint64 since = FileSystemEventMonitor::sinceNow;
    if (!m_monitor) {
        since = snapshot.lastRepositoryEventID.value_or(FileSystemEventMonitor::sinceNow);
        // The handler runs on the monitor's queue and only hands the batch to the GUI thread;
        // the monitor is stopped before this object goes.
        m_monitor = std::make_unique<FileSystemEventMonitor>(
            monitorLabel, [this](const QList<FileSystemEvent> &events) {
                postTo(this, [this, events] { handleRepositoryEvents(events); });
            });
    }
    m_monitor->start(monitored, since, monitorLatency);

    QSet<QString> unindexed;
    const bool indexCompleted = snapshot.hasCompletedInitialIndex.value_or(false);
    for (const QString &path : existing) {
        if (!indexCompleted || !snapshot.gitStatuses.contains(path))
            unindexed.insert(path);
    }
    scheduleInitialRepositoryIndex(unindexed);
}

void RepositoryRefreshScheduler::handleRepositoryEvents(const QList<FileSystemEvent> &events)
{
    if (events.isEmpty())
        return;
    quint64 lastID = 0;
    bool rescan = false;
    for (const FileSystemEvent &event : events) {
        lastID = std::max(lastID, event.id);
        rescan = rescan || (event.flags & FileSystemEventFlag::rescanRequired);
    }
    m_metadataCache.setLastRepositoryEventID(lastID);

    // Lost events, or a start that could not replay: the reported paths say too little.
    if (rescan) {
        scheduleRepositoryRefresh(
            QSet<QString>(m_monitoredProjectPaths.cbegin(), m_monitoredProjectPaths.cend()));
        return;
    }
    QSet<QString> changed;
    for (const FileSystemEvent &event : events) {
        for (const QString &path : m_monitoredProjectPaths) {
            if (event.path == path || event.path.startsWith(path + QLatin1Char('/'))) {
                changed.insert(path);
                break;
            }
        }
    }
    scheduleRepositoryRefresh(changed);
}

void RepositoryRefreshScheduler::scheduleRepositoryRefresh(const QSet<QString> &paths)
{
    if (paths.isEmpty())
        return;
    m_pendingRepositoryPaths.unite(paths);
    // A running refresh takes the new paths in its next batch.
    if (m_repositoryRefreshRunning)
        return;
    m_repositoryRefreshRunning = true;
    QTimer::singleShot(collectionTime, this, [this] { refreshNextBatch(); });
}

void RepositoryRefreshScheduler::refreshAllRepositories()
{
    const QStringList paths = existingProjectPaths();
    scheduleRepositoryRefresh(QSet<QString>(paths.cbegin(), paths.cend()));
}

void RepositoryRefreshScheduler::refreshNextBatch()
{
    if (m_pendingRepositoryPaths.isEmpty()) {
        m_repositoryRefreshRunning = false;
        return;
    }
    QStringList batch;
    for (auto path = m_pendingRepositoryPaths.begin();
         path != m_pendingRepositoryPaths.end() && batch.size() < batchSize;)
    {
        batch.append(*path);
        path = m_pendingRepositoryPaths.erase(path);
    }
    refreshBatchFrom(batch, 0);
}

void RepositoryRefreshScheduler::refreshBatchFrom(const QStringList &batch, qsizetype position)
{
    // One git at a time; the batch's team rescan follows its git statuses.
    if (position < batch.size()) {
        m_owner.refreshGitStatus(batch.at(position), [this, batch, position] {
            refreshBatchFrom(batch, position + 1);
        });
        return;
    }
    // The team workspace may finish after this object is gone.
    QPointer<RepositoryRefreshScheduler> self(this);
    m_teamService.refreshProjects(QSet<QString>(batch.cbegin(), batch.cend()), [self] {
        if (RepositoryRefreshScheduler *scheduler = self.data())
            scheduler->refreshNextBatch();
    });
}

void RepositoryRefreshScheduler::scheduleInitialRepositoryIndex(const QSet<QString> &paths)
{
    if (paths.isEmpty()) {
        m_metadataCache.markInitialIndexCompleted();
        return;
    }
    // A new run replaces one still going, which stops at its next step.
    const quint64 generation = ++m_indexGeneration;
    m_indexOrder.clear();
    for (const CodexProject &project : m_owner.projects()) {
        if (paths.contains(project.path()))
            m_indexOrder.append(project.path());
    }
    m_indexPosition = 0;
    m_owner.setStatusMessage(indexingMessage);
    QTimer::singleShot(0, this, [this, generation] { indexNextProject(generation); });
}

void RepositoryRefreshScheduler::indexNextProject(quint64 generation)
{
    if (generation != m_indexGeneration)
        return;
    if (m_indexPosition >= m_indexOrder.size()) {
        m_metadataCache.markInitialIndexCompleted();
        configureRepositoryMonitor();
        // Cleared only when no other text replaced it and no new index run put it up again.
        if (generation == m_indexGeneration && m_owner.statusMessage() == indexingMessage)
            m_owner.setStatusMessage(std::nullopt);
        return;
    }
    const QString path = m_indexOrder.at(m_indexPosition++);
    m_owner.refreshGitStatus(path, [this, generation, path] {
        if (generation != m_indexGeneration)
            return;
        // The team workspace may finish after this object is gone.
        QPointer<RepositoryRefreshScheduler> self(this);
        m_teamService.refreshProjects({path}, [self, generation] {
            if (!self)
                return;
            RepositoryRefreshScheduler *scheduler = self.data();
            QTimer::singleShot(indexPause, scheduler, [scheduler, generation] {
                scheduler->indexNextProject(generation);
            });
        });
    });
}

} // namespace tolvaran
