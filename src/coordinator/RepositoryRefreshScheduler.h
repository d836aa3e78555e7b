#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace tolvaran {

class CodexProject;
class FileSystemEventMonitor;
class ProjectMetadataCache;
class TeamWorkspaceService;
struct FileSystemEvent;

// The coordinator's watch over its project folders: a file-system monitor on every folder that
// is or may be a git repository, whose changes are collected and turned into git-status
// refreshes and team rescans a few projects at a time, and the first index that gives every
// project a git status, one folder at a time. Part of the refresh engine, which owns it and
// hands it the few things it reads and does (below). GUI thread only.
class RepositoryRefreshScheduler final : public QObject
{
    Q_OBJECT

public:
    // What the scheduler uses of its owner.
    struct Access
    {
        std::function<QList<CodexProject>()> projects;
        // A forced git-status refresh of one folder; the function runs once it has ended.
        std::function<void(const QString &path, std::function<void()> done)> refreshGitStatus;
        std::function<std::optional<QString>()> statusMessage;
        std::function<void(const std::optional<QString> &message)> setStatusMessage;
    };

    static inline const QString monitorLabel =
        QStringLiteral("com.ostvik.tolvaran.repository-events");
    // How long the monitor collects changes before it delivers them (seconds).
    static constexpr double monitorLatency = 0.45;
    // Changes are collected this long from the first one, and not longer, so a folder that
    // changes all the time is still refreshed regularly.
    static constexpr std::chrono::milliseconds collectionTime{650};
    // Projects refreshed per pass before the team rescan of the same projects.
    static constexpr qsizetype batchSize = 4;
    // The pause after each project of the first index.
    static constexpr std::chrono::milliseconds indexPause{120};
    static inline const QString indexingMessage =
        QStringLiteral("Indexing repository metadata in the background...");

    RepositoryRefreshScheduler(Access owner, ProjectMetadataCache &metadataCache,
                               TeamWorkspaceService &teamService);
    // Stops the monitor.
    ~RepositoryRefreshScheduler() override;

    QStringList existingProjectPaths() const;
    void configureRepositoryMonitor();
    void scheduleRepositoryRefresh(const QSet<QString> &paths);
    void refreshAllRepositories();

private:
    void handleRepositoryEvents(const QList<FileSystemEvent> &events);
    void refreshNextBatch();
    void refreshBatchFrom(const QStringList &batch, qsizetype position);
    void scheduleInitialRepositoryIndex(const QSet<QString> &paths);
    void indexNextProject(quint64 generation);

    Access m_owner;
    ProjectMetadataCache &m_metadataCache;
    TeamWorkspaceService &m_teamService;

    QStringList m_monitoredProjectPaths;
    QSet<QString> m_pendingRepositoryPaths;
    bool m_repositoryRefreshRunning = false;

    // The first index: the projects in order, how far it got, and a generation that a new
    // index run raises so that the replaced one stops at its next step.
    QStringList m_indexOrder;
    qsizetype m_indexPosition = 0;
    quint64 m_indexGeneration = 0;

    std::unique_ptr<FileSystemEventMonitor> m_monitor;
};

} // namespace tolvaran
