#pragma once

#include "coordinator/CodexChangeMonitor.h"
#include "coordinator/FilteredProjectList.h"
#include "coordinator/ProjectListRefresh.h"
#include "coordinator/actions/ProjectActionServices.h"
#include "coordinator/ProjectAssembly.h"
#include "coordinator/ProjectListStores.h"
#include "coordinator/ProjectListing.h"
#include "coordinator/actions/ProjectTagStatus.h"
#include "coordinator/TokenUsageRefresher.h"
#include "data/catalog/CodexProject.h"
#include "data/codex/CodexThread.h"
#include "data/catalog/ProjectCardSnapshot.h"
#include "data/git/ProjectGitStatus.h"
#include "data/catalog/ProjectListChoices.h"
#include "data/catalog/ProjectTag.h"
#include "data/token_usage/TokenUsageReport.h"
#include "data/token_usage/TokenUsageSnapshot.h"
#include "work/WorkGroup.h"
#include "platform/Timestamp.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QTimer;

namespace tolvaran {

class CodexGlobalStateStore;
class CoordinatorAlarm;
class CodexStore;
class FileSystemEventMonitor;
class FolderPicker;
class ProjectActions;
class ProjectCatalogStore;
class ProjectMetadataCache;
class ProjectRenamer;
class ProjectRepositoryStore;
class ProjectTagController;
class ProjectTagStore;
class RepositoryRefreshScheduler;
class TeamWorkspaceService;
class TokenUsageStore;
struct CoordinatorAccess;
struct FileSystemEvent;

// The model of the main window. It owns the stores of Codex's and the program's data for its
// whole life, publishes the list of projects (every known one, and the filtered, sorted and
// paged card values the browser shows), and keeps it live: Codex's changes to its database,
// global state and rollout files lead to full or processing refreshes within about a second,
// changes inside project folders to git-status refreshes, and every full refresh to a
// token-usage index pass in the background.
//
// Lives on the GUI thread and is used only there. Published values are fields with getters;
// every assignment of one is followed by objectWillChange() (after the value is stored, so
// slots read the new value). Slow work runs as background jobs that see only the stores and
// values they are given; their results come back to the GUI thread.
//
// Its parts each do one job: FilteredProjectList the list controls, the filtered list and its
// pages; ProjectListRefresh the full and processing refreshes; CodexChangeMonitor,
// RepositoryRefreshScheduler and TokenUsageRefresher the monitors and the token-usage passes;
// the tag controller, project actions and renamer the user's actions, which it forwards.
//
// Asynchronous operations take an optional completion, called on the GUI thread when the
// operation has ended (at once when there was nothing to do), and never once the coordinator
// is gone.
class ProjectListViewModel final : public QObject
{
    Q_OBJECT

public:
    using Completion = std::function<void()>;

    // A thread updated within this time has its processing state read by a full refresh and
    // its rollout file watched.
    static constexpr double activeThreadWindowSeconds =
        ProjectListRefresh::activeThreadWindowSeconds;
    // A processing refresh also reads the threads updated within this time.
    static constexpr double processingLookbackSeconds =
        ProjectListRefresh::processingLookbackSeconds;
    // A git status checked more recently than this is not read again unless forced.
    static constexpr double gitStatusFreshnessSeconds = 60.0;
    // Changes of the team workspace are collected this long before the list is re-filtered.
    static constexpr std::chrono::milliseconds teamChangeDebounce{80};
    // The wait after the last batch of Codex events before the refresh they ask for.
    static constexpr std::chrono::milliseconds codexEventDebounce = CodexChangeMonitor::debounce;
    // How long the Codex monitor collects changes before it delivers them (seconds).
    static constexpr double codexMonitorLatency = CodexChangeMonitor::latency;
    // The pause between token-usage passes while rollout files remain unindexed.
    static constexpr std::chrono::milliseconds tokenUsagePassInterval =
        TokenUsageRefresher::passInterval;
    static inline const QString codexMonitorLabel = CodexChangeMonitor::label;

    // While a chat shows as processing, its turn is looked at again this often: a Codex
    // process that is killed changes no file, so no event would ever say it stopped.
    static constexpr std::chrono::seconds processingRecheckInterval =
        ProjectListRefresh::processingRecheckInterval;

    static inline const QString codexUnavailableMessage =
        ProjectListRefresh::codexUnavailableMessage;
    static inline const QString refreshFailedPrefix = ProjectListRefresh::refreshFailedPrefix;
    static inline const QString catalogNotUpdatedPrefix =
        ProjectListRefresh::catalogNotUpdatedPrefix;

    // Uses the stores of the composition root, which outlive it, and owns the action
    // services. Reads the tags, the sidebar flag and the cached git statuses; starts no
    // refresh, monitor or job.
    explicit ProjectListViewModel(
        const ProjectListStores &stores,
        ProjectActionServices actionServices = ProjectActionServices::system(),
        QObject *parent = nullptr);
    // Stops both monitors, asks the background jobs still running to stop and waits for them
    // (they use the stores); their results are dropped. A rename that had closed Codex
    // starts it again.
    ~ProjectListViewModel() override;

    // The list controls. Every assignment re-filters (the page size: re-pages) and returns to
    // page 1, also when the value is unchanged.
    const QString &searchText() const { return m_list.criteria().searchText; }
    void setSearchText(const QString &text) { m_list.setSearchText(text); }
    ProjectScopeFilter scopeFilter() const { return m_list.criteria().scopeFilter; }
    void setScopeFilter(ProjectScopeFilter filter) { m_list.setScopeFilter(filter); }
    ProjectSortMode sortMode() const { return m_list.criteria().sortMode; }
    void setSortMode(ProjectSortMode mode) { m_list.setSortMode(mode); }
    ProjectPageSize pageSize() const { return m_list.pageSize(); }
    void setPageSize(ProjectPageSize size) { m_list.setPageSize(size); }
    const std::optional<QUuid> &selectedTagID() const { return m_list.criteria().selectedTagID; }
    void setSelectedTagID(const std::optional<QUuid> &tagID) { m_list.setSelectedTagID(tagID); }
    // "all", "local-only" (ProjectListCriteria) or the id of one enabled team. A filter
    // whose team is not (or no longer) enabled returns to "all", and the list to page 1;
    // "local-only" does too once no team is enabled.
    const QString &teamFilterID() const { return m_list.criteria().teamFilterID; }
    void setTeamFilterID(const QString &teamID) { m_list.setTeamFilterID(teamID); }

    // The user's tags, in saved order, and the tags of each project folder.
    const QList<ProjectTag> &tags() const { return m_tags; }
    const QHash<QString, QSet<QUuid>> &projectTagIDsByPath() const
    {
        return m_projectTagIDsByPath;
    }
    bool isTagSidebarVisible() const { return m_isTagSidebarVisible; }
    const std::optional<QString> &tagErrorMessage() const { return m_tagErrorMessage; }

    // Whether a full refresh builds projects from archived threads too.
    bool includeArchived() const { return m_includeArchived; }
    void setIncludeArchived(bool include);

    // Every known project, latest activity first as the last refresh published them.
    const QList<CodexProject> &projects() const { return m_projects; }
    // `projects` after filter and sort, as card values; published only when they change.
    const QList<ProjectCardSnapshot> &filteredProjects() const
    {
        return m_list.filteredProjects();
    }
    // The part of `filteredProjects` on the current page; published only when it changes.
    const QList<ProjectCardSnapshot> &pagedProjects() const { return m_list.pagedProjects(); }
    // Counted from 1.
    qint64 currentPage() const { return m_list.currentPage(); }
    const QHash<QString, ProjectGitStatus> &projectGitStatuses() const
    {
        return m_projectGitStatuses;
    }
    // A full refresh runs while no project is known yet.
    bool isLoading() const { return m_isLoading; }
    // Rollout files remain to be indexed for token usage.
    bool isIndexingTokenUsage() const { return m_isIndexingTokenUsage; }
    const TokenUsageSnapshot &tokenUsageSnapshot() const { return m_tokenUsageSnapshot; }
    // When the last full refresh finished.
    const std::optional<Timestamp> &lastRefreshedAt() const { return m_lastRefreshedAt; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    const std::optional<QString> &statusMessage() const { return m_statusMessage; }
    void setStatusMessage(const std::optional<QString> &message);
    // The path of the selected project, kept valid by every full refresh.
    const std::optional<QString> &selectedProjectID() const { return m_selectedProjectID; }
    void setSelectedProjectID(const std::optional<QString> &projectID);
    // startMonitoring() has run.
    bool isMonitoring() const { return m_isMonitoring; }

    // Values derived from the fields on every read.
    qint64 threadTotal() const;
    qint64 processingProjectCount() const;
    qint64 pinnedProjectCount() const;
    qint64 notificationProjectCount() const;
    // The index's global report; before the first pass has finished, its lifetime figure is
    // Codex's own sum over the projects when that is positive.
    TokenUsageReport globalTokenUsage() const;
    std::optional<QString> selectedTagName() const;
    qint64 totalPages() const { return m_list.totalPages(); }
    // "0 projects" or "21-23 of 23".
    QString paginationSummary() const { return m_list.paginationSummary(); }
    // The project whose path is exactly `id`.
    std::optional<CodexProject> project(const QString &id) const;
    // The index's report for exactly that path, or the empty report.
    TokenUsageReport tokenUsage(const QString &projectPath) const;

    // Recomputes `filteredProjects` and the page; `resetPage` returns to page 1, otherwise the
    // current page is kept as far as it still exists.
    void updateFilteredProjects(bool resetPage) { m_list.updateFilteredProjects(resetPage); }
    // Recomputes the current page and `pagedProjects` from `filteredProjects`.
    void updatePagedProjects(bool resetPage) { m_list.updatePagedProjects(resetPage); }
    void showPreviousPage() { m_list.showPreviousPage(); }
    void showNextPage() { m_list.showNextPage(); }

    // Starts the coordinator's work, once: the first full refresh, then the monitors of
    // Codex's folder and of the project folders. Later calls only complete.
    void startMonitoring(Completion done = {});
    // The full refresh: Codex's threads, its global state and the project catalog, read in the
    // background and published here, then a token-usage pass. A call while one runs is kept:
    // one more refresh follows the running one, and `done` is called when that has ended.
    void refresh(Completion done = {});
    // Re-reads the processing state of the threads that can have changed (processing, managed
    // or updated in the last ten minutes) and republishes the projects. A call while a refresh
    // runs is kept and served by one more processing refresh afterwards.
    void refreshProcessingStatus(Completion done = {});
    // Re-reads the git status of the folder at `path` in the background, publishes it and
    // stores it in the metadata cache. Without `force`, a status checked less than a minute
    // ago is kept. A git that gives no answer keeps the previous status.
    void refreshGitStatus(const QString &path, bool force, Completion done = {});

    // Starts the Codex monitor once and decides which rollout files count.
    void configureCodexMonitor();
    // Watches the project folders that are or may be repositories, and indexes those
    // without a git status in the background.
    void configureRepositoryMonitor();
    // The paths of `projects` whose folders exist, longest first (then in text order).
    QStringList existingProjectPaths() const;
    // Queues git-status refreshes (and then team rescans) of these projects.
    void scheduleRepositoryRefresh(const QSet<QString> &paths);
    // Queues every existing project folder for a git-status refresh.
    void refreshAllRepositories();

    // The user's tags. Every accepted change is published at once and saved in the
    // background; a refused name only sets `tagErrorMessage`.
    void setTagSidebarVisible(bool visible);
    void addTag(const QString &name);
    void renameTag(const QUuid &tagID, const QString &name);
    // Also clears the selected tag when it was this one.
    void deleteTag(const QUuid &tagID);
    void toggleTag(const QUuid &tagID, const QString &projectPath);
    // The counts of a tag sidebar row: every project without a tag, else those carrying it.
    ProjectTagStatus projectStatus(const std::optional<QUuid> &tagID) const;
    // The tags of the project at `projectPath`, in tag order.
    QList<ProjectTag> tags(const QString &projectPath) const;

    // What the user does to one project; outcomes appear only in `statusMessage`, and an
    // action that opened nothing says why. `done` runs once the background part has ended.
    // "New Project...": `picker` is the window's dialog.
    void createNewProject(FolderPicker &picker, Completion done = {});
    // The folder the new-project dialog starts in.
    std::optional<QString> defaultNewProjectParentDirectory() const;
    // `description` names the chat in the status ("latest chat"); an unread chat that opened
    // is marked read in Codex and here.
    void openThread(const QString &threadID, const ProjectCardSnapshot &project,
                    const QString &description, Completion done = {});
    void startNewChat(const QString &path, const QString &projectName);
    void togglePin(const ProjectCardSnapshot &project, Completion done = {});
    // Renames the project in Codex's records, closing Codex around the change.
    void renameProject(const CodexProject &project, const QString &newName, Completion done = {});
    void openTerminal(const QString &path);
    void runTerminalCommand(const QString &folder, const QString &program,
                            const QStringList &arguments);
    void revealInFileManager(const QString &path);

Q_SIGNALS:
    // Follows every assignment of a published value.
    void objectWillChange();

    // What changed, sent right before objectWillChange() of the same assignment, so that a
    // view redraws only the part that shows it.
    // The list's criteria: search, scope, sort, page size, tag and team filters, archived.
    void listCriteriaChanged();
    // The projects, the filtered list, the page, or the selection.
    void projectsChanged();
    // The git status of the project at `path` (one folder's refresh).
    void gitStatusChanged(const QString &path);
    // The git statuses of several projects at once.
    void gitStatusesChanged();
    void tokenUsageChanged();
    // The tags, their assignments, the sidebar's visibility or the tag error.
    void tagsChanged();
    // The status line: status and error messages, loading, the time of the last refresh.
    void statusChanged();
    // The team workspace changed: teams, team names of projects, teammates.
    void teamValuesChanged();

private:

    // Stores a published value and announces it: first as the change it is, then in general.
    template <typename T, typename Value>
    void publish(void (ProjectListViewModel::*changed)(), T &field, Value &&value)
    {
        field = std::forward<Value>(value);
        Q_EMIT(this->*changed)();
        Q_EMIT objectWillChange();
    }

    // The refreshes' view of this object.
    ProjectListRefresh::Access refreshAccess();

    void finishTokenUsagePass(const TokenUsageRefresher::Outcome &result);
    void publishTokenUsage(const TokenUsageSnapshot &snapshot);
    void reaggregateTokenUsage();

    // Which failure set the status message, so that its recovery can clear it again.
    enum class StatusSource { other, refreshFailure, tokenUsageFailure };
    void setFailureStatus(const QString &message, StatusSource source);
    void clearFailureStatus(StatusSource source);


    // The action components' view of this object, and their construction.
    CoordinatorAccess actionAccess();
    void setUpActions();

    // Published values. The list controls, the filtered list and the page are the list's.
    QList<ProjectTag> m_tags;
    QHash<QString, QSet<QUuid>> m_projectTagIDsByPath;
    bool m_isTagSidebarVisible = false;
    std::optional<QString> m_tagErrorMessage;
    bool m_includeArchived = false;
    QList<CodexProject> m_projects;
    FilteredProjectList m_list;
    QHash<QString, ProjectGitStatus> m_projectGitStatuses;
    bool m_isLoading = false;
    bool m_isIndexingTokenUsage = false;
    TokenUsageSnapshot m_tokenUsageSnapshot;
    std::optional<Timestamp> m_lastRefreshedAt;
    std::optional<QString> m_errorMessage;
    std::optional<QString> m_statusMessage;
    StatusSource m_statusSource = StatusSource::other;
    std::optional<QString> m_selectedProjectID;

    // The collaborators, the composition root's, fixed for the coordinator's life.
    CodexStore *const m_store;
    CodexGlobalStateStore *const m_globalStateStore;
    ProjectRepositoryStore *const m_repositoryStore;
    ProjectMetadataCache &m_metadataCache;
    ProjectCatalogStore *const m_projectCatalogStore;
    TeamWorkspaceService &m_teamService;
    ProjectTagStore *const m_projectTagStore;
    TokenUsageStore *const m_tokenUsageStore;

    // Token usage: the passes, one at a time. Its jobs run in m_jobs, declared later: the
    // destructor stops and waits for them before anything is destroyed.
    TokenUsageRefresher *m_tokenUsage; // a child
    // The threads of the last token-usage request, which a re-aggregation reuses.
    QList<CodexThread> m_tokenUsageThreads;
    bool m_reaggregating = false;
    // Rings when the clock alone changes a figure of the published snapshot.
    std::unique_ptr<CoordinatorAlarm> m_tokenUsageBoundary;

    // The Codex monitor and its debounce.
    CodexChangeMonitor *m_codexMonitor; // a child

    // The debounce of the team workspace's changes.
    QTimer *m_teamChangeTimer = nullptr;
    bool m_isMonitoring = false;

    // The repository monitor, the collected git refreshes and the first index.
    std::unique_ptr<RepositoryRefreshScheduler> m_repositories;

    // The user's actions (tags, project actions, renaming), over the stores above.
    ProjectActionServices m_actionServices;
    std::unique_ptr<ProjectTagController> m_tagController;
    std::unique_ptr<ProjectActions> m_actions;
    std::unique_ptr<ProjectRenamer> m_renamer;

    // The full and processing refreshes; their jobs run in m_jobs.
    std::unique_ptr<ProjectListRefresh> m_refresh;

    // Last: destroyed first, after the destructor has stopped the jobs and waited for them.
    WorkGroup m_jobs{this};
};

} // namespace tolvaran
