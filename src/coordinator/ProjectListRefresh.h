#pragma once

#include "coordinator/CoordinatorClock.h"
#include "coordinator/ProjectAssembly.h"
#include "coordinator/ProjectListStores.h"
#include "data/catalog/CodexProject.h"
#include "data/codex/CodexThread.h"
#include "data/git/ProjectGitStatus.h"
#include "platform/Timestamp.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QObject;

namespace tolvaran {

class CoordinatorAlarm;
class ProjectListViewModel;
class WorkGroup;

// The project list's refreshes from Codex's data: the full refresh (threads, global state and
// catalog read in the background, the list published first and the catalog written after),
// its fallback to the saved catalog when Codex's data cannot be read, and the processing
// refresh that re-reads only the threads that can have changed.
//
// A refresh asked for while one of its kind runs is kept, not dropped: one more run follows
// the running one and serves every call made meanwhile; a processing refresh asked for during
// a full refresh runs after it. While any project shows a processing chat, a processing
// refresh runs every `processingRecheckInterval`, since a killed Codex changes no file.
//
// It reads the list through the model's getters and publishes through `Access`; its jobs run
// in the model's work group. Lives on the GUI thread.
class ProjectListRefresh final
{
public:
    using Completion = std::function<void()>;

    // A thread updated within this time has its processing state read by a full refresh.
    static constexpr double activeThreadWindowSeconds = 86400.0;
    // A processing refresh also reads the threads updated within this time.
    static constexpr double processingLookbackSeconds = 600.0;
    static constexpr std::chrono::seconds processingRecheckInterval{15};

    static inline const QString codexUnavailableMessage =
        QStringLiteral("Codex data is unavailable. Showing the saved project catalog.");
    static inline const QString refreshFailedPrefix = QStringLiteral("Refresh failed: ");
    static inline const QString catalogNotUpdatedPrefix =
        QStringLiteral("Project catalog was not updated: ");

    // How a refresh changes the model's published values.
    struct Access
    {
        std::function<void(bool loading)> setLoading;
        std::function<void(QList<CodexProject> projects)> publishProjects;
        std::function<void(QHash<QString, ProjectGitStatus> statuses)> publishGitStatuses;
        std::function<void(const std::optional<QString> &message)> setErrorMessage;
        std::function<void(Timestamp refreshedAt)> setLastRefreshedAt;
        // The status line's failure of a refresh, and its recovery (which clears only it).
        std::function<void(const QString &message)> reportFailure;
        std::function<void()> clearFailure;
        // Asks for a token-usage pass over these threads (archived ones included).
        std::function<void(const QList<CodexThread> &threads)> requestTokenUsage;
    };

    ProjectListRefresh(ProjectListViewModel &model, const ProjectListStores &stores,
                       WorkGroup &jobs, CoordinatorClock clock, Access access);
    ~ProjectListRefresh();

    // `done` is called once the refresh that serves this call has ended.
    void refresh(Completion done);
    void refreshProcessingStatus(Completion done);

private:
    void startFullRefresh();
    void applyFullRefresh(ProjectAssembly::FullRefresh result);
    void completeFullRefresh(ProjectAssembly::FullRefresh result,
                             const std::optional<QString> &writeMessage);
    void loadCatalogFallback(const QString &error);
    void applyCatalogFallback(const QString &error, const QList<CodexProject> &catalog,
                              const QList<CodexThread> &allThreads);
    void finishFullRefresh();
    void selectExistingProject();
    void updateTeamProjects(const QList<CodexProject> &projects);

    void startProcessingRefresh();
    void applyProcessingRefresh(const QSet<QString> &candidateIDs,
                                const QSet<QString> &processingIDs);
    void finishProcessingRefresh();
    void scheduleProcessingRecheck();

    ProjectListViewModel &m_model;
    ProjectListStores m_stores;
    WorkGroup &m_jobs;
    CoordinatorClock m_clock;
    Access m_access;

    // The full refresh: running, and the calls that came while it ran (one more run).
    bool m_refreshInProgress = false;
    bool m_refreshSetLoading = false;
    QList<Completion> m_refreshCompletions;
    bool m_refreshRequestedAgain = false;
    QList<Completion> m_followingRefreshCompletions;

    // The processing refresh, likewise; requests during a full refresh wait for its end.
    bool m_isRefreshingProcessing = false;
    QList<Completion> m_processingCompletions;
    bool m_processingRequestedAgain = false;
    QList<Completion> m_followingProcessingCompletions;

    // Only the latest hand-over of projects to the team workspace is delivered.
    quint64 m_teamProjectUpdateGeneration = 0;
    // Rings while a chat shows as processing, to look at its turn again.
    std::unique_ptr<CoordinatorAlarm> m_processingRecheck;
};

} // namespace tolvaran
