#include "coordinator/ProjectListViewModel.h"

#include "coordinator/CoordinatorAccess.h"
#include "coordinator/ProjectActions.h"
#include "coordinator/ProjectRenamer.h"
#include "coordinator/ProjectTagController.h"
#include "coordinator/ProjectTagEditing.h"
#include "coordinator/RepositoryRefreshScheduler.h"
#include "data/CodexActivityNotifier.h"
#include "data/CodexActivityStore.h"
#include "data/CodexGlobalStateSnapshot.h"
#include "data/CodexGlobalStateStore.h"
#include "data/CodexStore.h"
#include "data/LocalTeamProjectSource.h"
#include "data/ProjectCatalogStore.h"
#include "data/ProjectMetadataCache.h"
#include "data/ProjectRepositoryStore.h"
#include "data/ProjectTagSnapshot.h"
#include "data/ProjectTagStore.h"
#include "data/TeamWorkspaceService.h"
#include "data/TokenUsageStore.h"
#include "platform/Error.h"
#include "platform/FileSystemEventMonitor.h"
#include "platform/KeyValueStore.h"
#include "platform/Paths.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace tolvaran {

namespace {

// Codex's files whose change asks for a full refresh: the thread database with its log and
// index, and the global state (pins, unread chats, project names).
bool isCodexStateFile(const QString &name)
{
    return name == QLatin1String("state_5.sqlite") || name == QLatin1String("state_5.sqlite-wal")
        || name == QLatin1String("state_5.sqlite-shm")
        || name == QLatin1String(".codex-global-state.json");
}

// What an event must report to count as a change of a file's contents.
constexpr quint32 contentChangeFlags = FileSystemEventFlag::itemCreated
    | FileSystemEventFlag::itemRemoved | FileSystemEventFlag::itemRenamed
    | FileSystemEventFlag::itemModified;

// Latest activity first. Stable: projects with equal times keep their order, so Codex's
// projects stay ahead of the catalog's own that follow them.
void sortByLastUpdated(QList<CodexProject> &projects)
{
    std::stable_sort(projects.begin(), projects.end(),
                     [](const CodexProject &a, const CodexProject &b) {
                         return a.lastUpdated() > b.lastUpdated();
                     });
}

// Codex's threads as projects, one per folder. Folders are grouped by their standard form, so
// threads started in "/a/b" and in "/a/b/" make one project rather than two with one identity;
// groups come in the order of their first thread.
QList<CodexProject> projectsFromThreads(const QList<CodexThread> &threads,
                                        const CodexGlobalStateSnapshot &snapshot,
                                        const QSet<QString> &processingThreadIDs)
{
    QStringList order;
    QHash<QString, QList<CodexThread>> groups;
    for (const CodexThread &thread : threads) {
        const QString path = standardizedPath(thread.cwd);
        auto group = groups.find(path);
        if (group == groups.end()) {
            order.append(path);
            group = groups.insert(path, {});
        }
        group->append(thread);
    }

    QList<CodexProject> projects;
    projects.reserve(order.size());
    for (const QString &path : order) {
        QList<CodexThread> group = groups.take(path);
        std::optional<QString> projectID;
        for (const CodexThread &thread : group) {
            if (thread.projectID) {
                projectID = thread.projectID;
                break;
            }
        }
        if (!projectID) {
            const QStringList ids = snapshot.projectIDsByPath.value(path);
            if (!ids.isEmpty())
                projectID = ids.first();
        }
        std::optional<QString> customName;
        if (projectID) {
            const auto name = snapshot.projectNamesByID.constFind(*projectID);
            if (name != snapshot.projectNamesByID.constEnd())
                customName = *name;
        }
        std::stable_sort(group.begin(), group.end(),
                         [](const CodexThread &a, const CodexThread &b) {
                             return a.updatedAt > b.updatedAt;
                         });
        const bool isPinned = snapshot.pinnedProjectPaths.contains(path);
        projects.append(CodexProject(path, std::move(group), isPinned, snapshot.unreadThreadIDs,
                                     processingThreadIDs, projectID, customName));
    }
    sortByLastUpdated(projects);
    return projects;
}

LocalTeamProjectSource teamProjectSource(const CodexProject &project,
                                         CodexActivityStore &activityStore)
{
    LocalTeamProjectSource source;
    source.path = project.path();
    for (const CodexThread &thread : project.threads()) {
        if (thread.gitOriginURL) {
            source.gitOriginURL = thread.gitOriginURL;
            break;
        }
    }
    // The processing thread: the one with the latest recency among the processing ones.
    const std::optional<QString> &processingID = project.latestProcessingThreadID();
    source.isCodexProcessing = processingID.has_value();
    source.canDiscoverGitOrigin = !project.branches().isEmpty() || source.isCodexProcessing;
    if (processingID) {
        for (const CodexThread &thread : project.threads()) {
            if (thread.id == *processingID) {
                source.latestUserRequest = activityStore.latestUserRequest(thread.rolloutPath);
                break;
            }
        }
    }
    source.recencyAt = project.lastUpdated();
    return source;
}

QString messageOf(const std::exception &error)
{
    if (const auto *own = dynamic_cast<const Error *>(&error))
        return own->message();
    return QString::fromUtf8(error.what());
}

void callAll(const QList<ProjectListViewModel::Completion> &completions)
{
    for (const ProjectListViewModel::Completion &done : completions) {
        if (done)
            done();
    }
}

} // namespace

struct ProjectListViewModel::FullRefreshResult
{
    QList<CodexProject> projects;
    QList<CodexThread> allThreads; // archived ones included
    std::optional<QString> catalogMessage;
    std::optional<QString> error; // Codex's data could not be read
};

struct ProjectListViewModel::TokenUsagePassResult
{
    std::optional<TokenUsageSnapshot> snapshot;
    QString error;
};

ProjectListViewModel::ProjectListViewModel(
    TeamWorkspaceService &teamService, std::unique_ptr<CodexStore> store,
    std::unique_ptr<CodexGlobalStateStore> globalStateStore,
    std::unique_ptr<ProjectRepositoryStore> repositoryStore, ProjectMetadataCache &metadataCache,
    std::unique_ptr<ProjectCatalogStore> projectCatalogStore,
    std::unique_ptr<ProjectTagStore> projectTagStore,
    std::unique_ptr<TokenUsageStore> tokenUsageStore, ProjectActionServices actionServices,
    QObject *parent)
    : QObject(parent)
    , m_tokenUsageSnapshot(TokenUsageSnapshot::empty())
    , m_store(std::move(store))
    , m_globalStateStore(std::move(globalStateStore))
    , m_repositoryStore(std::move(repositoryStore))
    , m_metadataCache(metadataCache)
    , m_projectCatalogStore(std::move(projectCatalogStore))
    , m_teamService(teamService)
    , m_projectTagStore(std::move(projectTagStore))
    , m_tokenUsageStore(std::move(tokenUsageStore))
    , m_tokenUsagePassTimer(new QTimer(this))
    , m_codexRefreshTimer(new QTimer(this))
    , m_teamChangeTimer(new QTimer(this))
    , m_repositories(
          std::make_unique<RepositoryRefreshScheduler>(*this, metadataCache, teamService))
    , m_actionServices(std::move(actionServices))
{
    const ProjectTagSnapshot tagSnapshot = m_projectTagStore->loadSnapshot();
    m_tags = tagSnapshot.tags;
    m_projectTagIDsByPath = tagSnapshot.projectTagIDsByPath;
    m_isTagSidebarVisible =
        m_projectTagStore->defaults().boolean(m_projectTagStore->sidebarVisibilityKey(), false);

    publish(m_criteria.selectedTagID, std::nullopt);
    updateFilteredProjects(true);
    publish(m_projectGitStatuses, m_metadataCache.gitStatuses());

    m_tokenUsagePassTimer->setSingleShot(true);
    m_tokenUsagePassTimer->setInterval(tokenUsagePassInterval);
    connect(m_tokenUsagePassTimer, &QTimer::timeout, this, [this] {
        if (!m_tokenUsagePassRunning)
            startTokenUsagePass();
    });

    m_codexRefreshTimer->setSingleShot(true);
    m_codexRefreshTimer->setInterval(codexEventDebounce);
    connect(m_codexRefreshTimer, &QTimer::timeout, this,
            &ProjectListViewModel::runPendingCodexRefresh);

    // The team filter depends on the team workspace: re-filter (keeping the page) once a
    // burst of its changes has passed.
    m_teamChangeTimer->setSingleShot(true);
    m_teamChangeTimer->setInterval(teamChangeDebounce);
    connect(&m_teamService, &TeamWorkspaceService::objectWillChange, m_teamChangeTimer,
            qOverload<>(&QTimer::start));
    connect(m_teamChangeTimer, &QTimer::timeout, this,
            [this] { updateFilteredProjects(false); });

    // Every change of the managed processing threads asks for a processing refresh; the
    // refresh itself coalesces requests that come while one runs.
    connect(CodexActivityNotifier::instance(),
            &CodexActivityNotifier::codexAppManagedProcessingChanged, this,
            [this] { refreshProcessingStatus(); });

    setUpActions();
}

ProjectListViewModel::~ProjectListViewModel()
{
    // No batch is delivered once the monitors are gone; then the jobs still running end and
    // their results, queued on this object, are discarded with it.
    m_codexEventMonitor.reset();
    m_repositories.reset();
    m_jobs.waitForAll();
}

// Published values set by the window

void ProjectListViewModel::setSearchText(const QString &text)
{
    publish(m_criteria.searchText, text);
    updateFilteredProjects(true);
}

void ProjectListViewModel::setScopeFilter(ProjectScopeFilter filter)
{
    publish(m_criteria.scopeFilter, filter);
    updateFilteredProjects(true);
}

void ProjectListViewModel::setSortMode(ProjectSortMode mode)
{
    publish(m_criteria.sortMode, mode);
    updateFilteredProjects(true);
}

void ProjectListViewModel::setPageSize(ProjectPageSize size)
{
    publish(m_pageSize, size);
    updatePagedProjects(true);
}

void ProjectListViewModel::setSelectedTagID(const std::optional<QUuid> &tagID)
{
    publish(m_criteria.selectedTagID, tagID);
    updateFilteredProjects(true);
}

void ProjectListViewModel::setTeamFilterID(const QString &teamID)
{
    publish(m_criteria.teamFilterID, teamID);
    updateFilteredProjects(true);
}

void ProjectListViewModel::setIncludeArchived(bool include)
{
    publish(m_includeArchived, include);
}

void ProjectListViewModel::setStatusMessage(const std::optional<QString> &message)
{
    publish(m_statusMessage, message);
}

void ProjectListViewModel::setSelectedProjectID(const std::optional<QString> &projectID)
{
    publish(m_selectedProjectID, projectID);
}

// Derived values

qint64 ProjectListViewModel::threadTotal() const
{
    qint64 total = 0;
    for (const CodexProject &project : m_projects)
        total += project.threadCount();
    return total;
}

qint64 ProjectListViewModel::processingProjectCount() const
{
    return std::count_if(m_projects.cbegin(), m_projects.cend(), [](const CodexProject &p) {
        return !p.processingThreadIDs().isEmpty();
    });
}

qint64 ProjectListViewModel::pinnedProjectCount() const
{
    return std::count_if(m_projects.cbegin(), m_projects.cend(),
                         [](const CodexProject &p) { return p.isPinned(); });
}

qint64 ProjectListViewModel::notificationProjectCount() const
{
    return std::count_if(m_projects.cbegin(), m_projects.cend(),
                         [](const CodexProject &p) { return p.notificationCount() >= 1; });
}

TokenUsageReport ProjectListViewModel::globalTokenUsage() const
{
    TokenUsageReport report = m_tokenUsageSnapshot.global;
    qint64 codexTotal = 0;
    for (const CodexProject &project : m_projects)
        codexTotal += project.totalTokens();
    // Until the index has finished a pass, Codex's own counts are the best lifetime figure;
    // afterwards the index's figure is shown even when it is smaller.
    if (m_tokenUsageSnapshot.indexedAt.isDistantPast() && codexTotal > 0)
        report.lifetimeTokens = codexTotal;
    return report;
}

std::optional<QString> ProjectListViewModel::selectedTagName() const
{
    if (!m_criteria.selectedTagID)
        return std::nullopt;
    for (const ProjectTag &tag : m_tags) {
        if (tag.id == *m_criteria.selectedTagID)
            return tag.name;
    }
    return std::nullopt;
}

qint64 ProjectListViewModel::totalPages() const
{
    return ProjectListing::totalPages(m_filteredProjects.size(), m_pageSize);
}

QString ProjectListViewModel::paginationSummary() const
{
    return ProjectListing::paginationSummary(m_filteredProjects.size(), m_currentPage,
                                             m_pageSize);
}

std::optional<CodexProject> ProjectListViewModel::project(const QString &id) const
{
    for (const CodexProject &candidate : m_projects) {
        if (candidate.path() == id)
            return candidate;
    }
    return std::nullopt;
}

TokenUsageReport ProjectListViewModel::tokenUsage(const QString &projectPath) const
{
    return m_tokenUsageSnapshot.projects.value(projectPath, TokenUsageReport::empty());
}

// Filter, sort and pages

void ProjectListViewModel::updateFilteredProjects(bool resetPage)
{
    const auto teamIDs = [this](const QString &path) { return m_teamService.teamIDs(path); };
    QList<ProjectCardSnapshot> filtered = ProjectListing::cardSnapshots(
        ProjectListing::filterAndSort(m_projects, m_criteria, m_projectTagIDsByPath, teamIDs));
    // Only a changed list is published, so a refresh that changes nothing visible costs the
    // browser no rebuild.
    if (filtered != m_filteredProjects)
        publish(m_filteredProjects, std::move(filtered));
    updatePagedProjects(resetPage);
}

void ProjectListViewModel::updatePagedProjects(bool resetPage)
{
    if (resetPage)
        publish(m_currentPage, qint64(1));
    publish(m_currentPage,
            ProjectListing::clampedPage(m_currentPage, m_filteredProjects.size(), m_pageSize));
    QList<ProjectCardSnapshot> page =
        ProjectListing::page(m_filteredProjects, m_currentPage, m_pageSize);
    if (page != m_pagedProjects)
        publish(m_pagedProjects, std::move(page));
}

void ProjectListViewModel::showPreviousPage()
{
    if (m_currentPage < 2)
        return;
    publish(m_currentPage, m_currentPage - 1);
    updatePagedProjects(false);
}

void ProjectListViewModel::showNextPage()
{
    if (m_currentPage >= totalPages())
        return;
    publish(m_currentPage, m_currentPage + 1);
    updatePagedProjects(false);
}

// Start

void ProjectListViewModel::startMonitoring(Completion done)
{
    if (m_isMonitoring) {
        if (done)
            done();
        return;
    }
    // Set before the first refresh, so that it already configures both monitors when it
    // publishes projects; the calls below then find them configured.
    m_isMonitoring = true;
    refresh([this, done = std::move(done)] {
        configureCodexMonitor();
        configureRepositoryMonitor();
        if (done)
            done();
    });
}

// Full refresh

void ProjectListViewModel::refresh(Completion done)
{
    if (m_refreshInProgress) {
        // Codex often writes the last change of a task while a refresh reads: dropping this
        // request would leave the list showing the state before that write.
        m_refreshRequestedAgain = true;
        m_followingRefreshCompletions.append(std::move(done));
        return;
    }
    m_refreshCompletions.append(std::move(done));
    startFullRefresh();
}

void ProjectListViewModel::startFullRefresh()
{
    m_refreshInProgress = true;
    m_refreshSetLoading = m_projects.isEmpty();
    if (m_refreshSetLoading)
        publish(m_isLoading, true);

    const CodexStore *store = m_store.get();
    const CodexGlobalStateStore *globalStateStore = m_globalStateStore.get();
    ProjectCatalogStore *catalog = m_projectCatalogStore.get();
    const bool includeArchived = m_includeArchived;
    m_jobs.run<FullRefreshResult>(
        JobPriority::userInitiated,
        [store, globalStateStore, catalog, includeArchived] {
            FullRefreshResult result;
            try {
                // One read serves both lists: the threads the projects are built from, and
                // every thread (archived ones too) for the token-usage index.
                QList<CodexThread> allThreads = store->loadThreads(true);
                QList<CodexThread> visible;
                if (includeArchived) {
                    visible = allThreads;
                } else {
                    std::copy_if(allThreads.cbegin(), allThreads.cend(),
                                 std::back_inserter(visible),
                                 [](const CodexThread &thread) { return !thread.archived; });
                }
                const CodexGlobalStateSnapshot snapshot = globalStateStore->loadSnapshot();

                const Timestamp now = Timestamp::now();
                const Timestamp activeSince = now.addingSeconds(-activeThreadWindowSeconds);
                QList<CodexThread> recent;
                std::copy_if(visible.cbegin(), visible.cend(), std::back_inserter(recent),
                             [activeSince](const CodexThread &thread) {
                                 return thread.updatedAt >= activeSince;
                             });
                const QSet<QString> processing =
                    store->activityStore().processingThreadIDs(recent);

                QList<CodexProject> projects = projectsFromThreads(visible, snapshot, processing);
                try {
                    catalog->synchronize(projects, now);
                    QSet<QString> codexPaths;
                    for (const CodexProject &project : projects)
                        codexPaths.insert(project.path());
                    // Only the projects Codex no longer lists are added from the catalog.
                    projects.append(catalog->loadProjects(includeArchived, codexPaths));
                    sortByLastUpdated(projects);
                } catch (const std::exception &error) {
                    // Codex's projects alone are shown; the catalog catches up next time.
                    result.catalogMessage = messageOf(error);
                }
                result.projects = std::move(projects);
                result.allThreads = std::move(allThreads);
            } catch (const std::exception &error) {
                result.error = messageOf(error);
            }
            return result;
        },
        [this](FullRefreshResult result) {
            if (result.error)
                loadCatalogFallback(*result.error);
            else
                applyFullRefresh(std::move(result));
        });
}

void ProjectListViewModel::applyFullRefresh(FullRefreshResult result)
{
    if (result.projects != m_projects) {
        publish(m_projects, std::move(result.projects));
        updateTeamProjects(m_projects);

        QSet<QString> paths;
        for (const CodexProject &project : m_projects)
            paths.insert(project.path());
        QHash<QString, ProjectGitStatus> statuses = m_projectGitStatuses;
        for (auto status = statuses.begin(); status != statuses.end();) {
            if (paths.contains(status.key()))
                ++status;
            else
                status = statuses.erase(status);
        }
        if (statuses.size() != m_projectGitStatuses.size())
            publish(m_projectGitStatuses, std::move(statuses));

        selectExistingProject();
        updateFilteredProjects(false);
        if (m_isMonitoring) {
            configureCodexMonitor();
            configureRepositoryMonitor();
        }
    }
    publish(m_errorMessage, std::nullopt);
    if (result.catalogMessage)
        publish(m_statusMessage, catalogNotUpdatedPrefix + *result.catalogMessage);
    publish(m_lastRefreshedAt, Timestamp::now());
    refreshTokenUsage(result.allThreads);
    finishFullRefresh();
}

void ProjectListViewModel::loadCatalogFallback(const QString &error)
{
    ProjectCatalogStore *catalog = m_projectCatalogStore.get();
    const bool includeArchived = m_includeArchived;
    m_jobs.run<QList<CodexProject>>(
        JobPriority::userInitiated,
        [catalog, includeArchived] {
            try {
                return catalog->loadProjects(includeArchived);
            } catch (...) {
                // The refresh's own error is the one shown; a catalog that cannot be read
                // either simply has nothing to show.
                return QList<CodexProject>();
            }
        },
        [this, error](QList<CodexProject> catalogProjects) {
            applyCatalogFallback(error, catalogProjects);
        });
}

void ProjectListViewModel::applyCatalogFallback(const QString &error,
                                                const QList<CodexProject> &catalog)
{
    if (catalog.isEmpty()) {
        if (!m_projects.isEmpty())
            publish(m_statusMessage, refreshFailedPrefix + error);
        else
            publish(m_errorMessage, error);
        finishFullRefresh();
        return;
    }

    const bool unchanged = catalog == m_projects;
    publish(m_projects, catalog);
    if (!unchanged) {
        updateTeamProjects(m_projects);
        selectExistingProject();
        updateFilteredProjects(false);
        if (m_isMonitoring)
            configureRepositoryMonitor();
    }
    publish(m_errorMessage, std::nullopt);
    publish(m_statusMessage, codexUnavailableMessage);
    publish(m_lastRefreshedAt, Timestamp::now());
    QList<CodexThread> threads;
    for (const CodexProject &project : m_projects)
        threads.append(project.threads());
    refreshTokenUsage(threads);
    finishFullRefresh();
}

void ProjectListViewModel::finishFullRefresh()
{
    if (m_refreshSetLoading)
        publish(m_isLoading, false);
    m_refreshInProgress = false;
    const QList<Completion> completions = std::exchange(m_refreshCompletions, {});
    if (m_refreshRequestedAgain) {
        m_refreshRequestedAgain = false;
        m_refreshCompletions = std::exchange(m_followingRefreshCompletions, {});
        startFullRefresh();
    } else if (m_processingRequestedAgain && !m_isRefreshingProcessing) {
        // A processing refresh asked for while this one ran.
        m_processingRequestedAgain = false;
        m_processingCompletions = std::exchange(m_followingProcessingCompletions, {});
        startProcessingRefresh();
    }
    callAll(completions);
}

void ProjectListViewModel::selectExistingProject()
{
    if (m_selectedProjectID && project(*m_selectedProjectID))
        return;
    if (m_projects.isEmpty())
        publish(m_selectedProjectID, std::nullopt);
    else
        publish(m_selectedProjectID, m_projects.first().path());
}

void ProjectListViewModel::updateTeamProjects(const QList<CodexProject> &projects)
{
    // Of several quick hand-overs only the last reaches the team workspace.
    const quint64 generation = ++m_teamProjectUpdateGeneration;
    CodexActivityStore *activityStore = &m_store->activityStore();
    m_jobs.run<QList<LocalTeamProjectSource>>(
        JobPriority::utility,
        [activityStore, projects] {
            QList<LocalTeamProjectSource> sources;
            sources.reserve(projects.size());
            for (const CodexProject &project : projects)
                sources.append(teamProjectSource(project, *activityStore));
            return sources;
        },
        [this, generation](QList<LocalTeamProjectSource> sources) {
            if (generation == m_teamProjectUpdateGeneration)
                m_teamService.updateProjects(sources);
        });
}

// Processing refresh

void ProjectListViewModel::refreshProcessingStatus(Completion done)
{
    if (m_refreshInProgress || m_isRefreshingProcessing) {
        // Kept rather than dropped: the write that asked for it (often a task's end) may have
        // landed after the running refresh read the rollout file.
        m_processingRequestedAgain = true;
        m_followingProcessingCompletions.append(std::move(done));
        return;
    }
    m_processingCompletions.append(std::move(done));
    startProcessingRefresh();
}

void ProjectListViewModel::startProcessingRefresh()
{
    QSet<QString> currentIDs;
    for (const CodexProject &project : m_projects)
        currentIDs.unite(project.processingThreadIDs());
    const QSet<QString> managedIDs = CodexActivityStore::managedProcessingThreadIDs();
    const Timestamp cutoff = Timestamp::now().addingSeconds(-processingLookbackSeconds);

    QList<CodexThread> candidates;
    QSet<QString> candidateIDs;
    for (const CodexProject &project : m_projects) {
        for (const CodexThread &thread : project.threads()) {
            if (currentIDs.contains(thread.id) || managedIDs.contains(thread.id)
                || thread.updatedAt >= cutoff) {
                candidates.append(thread);
                candidateIDs.insert(thread.id);
            }
        }
    }
    if (candidates.isEmpty()) {
        finishProcessingRefresh();
        return;
    }

    m_isRefreshingProcessing = true;
    CodexActivityStore *activityStore = &m_store->activityStore();
    m_jobs.run<QSet<QString>>(
        JobPriority::utility,
        [activityStore, candidates] { return activityStore->processingThreadIDs(candidates); },
        [this, candidateIDs](QSet<QString> processingIDs) {
            applyProcessingRefresh(candidateIDs, processingIDs);
            finishProcessingRefresh();
        });
}

void ProjectListViewModel::applyProcessingRefresh(const QSet<QString> &candidateIDs,
                                                  const QSet<QString> &processingIDs)
{
    // Applied to the projects as they are now: a full refresh may have replaced them
    // meanwhile. Threads that were not read (new to the list since) keep their state.
    QList<CodexProject> rebuilt;
    rebuilt.reserve(m_projects.size());
    for (const CodexProject &project : m_projects) {
        QSet<QString> processing;
        for (const QString &id : project.processingThreadIDs()) {
            if (!candidateIDs.contains(id))
                processing.insert(id);
        }
        for (const CodexThread &thread : project.threads()) {
            if (processingIDs.contains(thread.id))
                processing.insert(thread.id);
        }
        // The last activity is kept as the project had it: a project the catalog knows longer
        // than Codex does would otherwise fall to the end of the list.
        rebuilt.append(CodexProject(project.path(), project.threads(), project.isPinned(),
                                    project.unreadThreadIDs(), processing,
                                    project.codexProjectID(), project.name(),
                                    project.lastUpdated()));
    }
    if (rebuilt == m_projects)
        return;
    publish(m_projects, std::move(rebuilt));
    updateFilteredProjects(false);
    updateTeamProjects(m_projects);
}

void ProjectListViewModel::finishProcessingRefresh()
{
    m_isRefreshingProcessing = false;
    const QList<Completion> completions = std::exchange(m_processingCompletions, {});
    if (m_processingRequestedAgain && !m_refreshInProgress) {
        m_processingRequestedAgain = false;
        m_processingCompletions = std::exchange(m_followingProcessingCompletions, {});
        startProcessingRefresh();
    }
    callAll(completions);
}

// Git status

void ProjectListViewModel::refreshGitStatus(const QString &path, bool force, Completion done)
{
    std::optional<ProjectGitStatus> stored;
    const auto cached = m_projectGitStatuses.constFind(path);
    if (cached != m_projectGitStatuses.constEnd())
        stored = *cached;
    // A status checked in the future (a clock set back) counts as fresh too.
    if (!force && stored
        && Timestamp::now().seconds - stored->checkedAt.seconds < gitStatusFreshnessSeconds) {
        if (done)
            done();
        return;
    }

    const ProjectRepositoryStore *repositoryStore = m_repositoryStore.get();
    m_jobs.run<ProjectGitStatus>(
        JobPriority::background,
        // A git that hangs or cannot start hands back the stored status: a hiccup never turns
        // a known repository into "not a repository".
        [repositoryStore, path, stored] { return repositoryStore->loadGitStatus(path, stored); },
        [this, path, done = std::move(done)](ProjectGitStatus status) {
            m_projectGitStatuses.insert(path, status);
            Q_EMIT objectWillChange();
            m_metadataCache.setGitStatus(status, path);
            if (done)
                done();
        });
}

// Token usage

void ProjectListViewModel::refreshTokenUsage(const QList<CodexThread> &threads)
{
    // Never two passes at once (they would wait on each other's index transaction and fail):
    // a request during a pass asks for one more pass, with the newest threads, right after it.
    m_tokenUsageThreads = threads;
    m_tokenUsageRequested = true;
    m_tokenUsagePassTimer->stop();
    if (!m_tokenUsagePassRunning)
        startTokenUsagePass();
}

void ProjectListViewModel::startTokenUsagePass()
{
    m_tokenUsageRequested = false;
    m_tokenUsagePassRunning = true;
    const TokenUsageStore *store = m_tokenUsageStore.get();
    m_jobs.run<TokenUsagePassResult>(
        JobPriority::utility,
        [store, threads = m_tokenUsageThreads] {
            TokenUsagePassResult result;
            try {
                result.snapshot = store->refresh(threads, Timestamp::now());
            } catch (const std::exception &error) {
                result.error = messageOf(error);
            }
            return result;
        },
        [this](TokenUsagePassResult result) { finishTokenUsagePass(result); });
}

void ProjectListViewModel::finishTokenUsagePass(const TokenUsagePassResult &result)
{
    m_tokenUsagePassRunning = false;
    if (result.snapshot) {
        if (result.snapshot->indexedAt >= m_tokenUsageSnapshot.indexedAt) {
            publish(m_tokenUsageSnapshot, *result.snapshot);
            m_teamService.updateTokenUsage(m_tokenUsageSnapshot);
            publish(m_isIndexingTokenUsage, result.snapshot->pendingRolloutCount >= 1);
        }
    } else {
        // The last snapshot stays; the next full refresh starts over.
        publish(m_isIndexingTokenUsage, false);
        publish(m_statusMessage, result.error);
    }

    if (m_tokenUsageRequested)
        startTokenUsagePass();
    else if (result.snapshot && result.snapshot->pendingRolloutCount >= 1)
        m_tokenUsagePassTimer->start();
}

// Codex monitor

void ProjectListViewModel::configureCodexMonitor()
{
    const Timestamp activeSince = Timestamp::now().addingSeconds(-activeThreadWindowSeconds);
    QSet<QString> processingIDs;
    for (const CodexProject &project : m_projects)
        processingIDs.unite(project.processingThreadIDs());
    QSet<QString> rolloutPaths;
    for (const CodexProject &project : m_projects) {
        for (const CodexThread &thread : project.threads()) {
            if (thread.updatedAt >= activeSince || processingIDs.contains(thread.id))
                rolloutPaths.insert(standardizedPath(thread.rolloutPath));
        }
    }
    m_monitoredRolloutPaths = std::move(rolloutPaths);

    if (m_codexEventMonitor)
        return;
    // The handler runs on the monitor's queue and only hands the batch to the GUI thread.
    // The monitor is stopped before this object goes, so the handler never outlives it.
    m_codexEventMonitor = std::make_unique<FileSystemEventMonitor>(
        codexMonitorLabel, [this](const QList<FileSystemEvent> &events) {
            postTo(this, [this, events] { handleCodexEvents(events); });
        });
    // Codex's folder is the one that holds its thread database.
    const QString codexFolder =
        standardizedPath(QFileInfo(m_store->databasePath()).absolutePath());
    m_codexEventMonitor->start({codexFolder}, FileSystemEventMonitor::sinceNow,
                               codexMonitorLatency);
}

void ProjectListViewModel::handleCodexEvents(const QList<FileSystemEvent> &events)
{
    for (const FileSystemEvent &event : events) {
        // Events were lost: Codex's data may have changed in any way.
        if (event.flags & FileSystemEventFlag::rescanRequired) {
            m_pendingCodexFullRefresh = true;
            continue;
        }
        // A change of attributes alone (owner, mode, times) is no change of Codex's data.
        // Our own reads cause such changes: SQLite, run as root, gives Codex's log file its
        // owner again each time it opens it, and reacting would refresh in a loop.
        if (!(event.flags & contentChangeFlags))
            continue;
        const QString path = standardizedPath(event.path);
        if (isCodexStateFile(lastPathComponent(path)))
            m_pendingCodexFullRefresh = true;
        else if (m_monitoredRolloutPaths.contains(path))
            m_pendingCodexProcessingRefresh = true;
    }
    // While a refresh is pending, every batch (even one of no interest) pushes it back, so a
    // burst of writes costs one refresh after its end.
    if (m_pendingCodexFullRefresh || m_pendingCodexProcessingRefresh)
        m_codexRefreshTimer->start();
}

void ProjectListViewModel::runPendingCodexRefresh()
{
    const bool full = std::exchange(m_pendingCodexFullRefresh, false);
    const bool processing = std::exchange(m_pendingCodexProcessingRefresh, false);
    // A full refresh reads the processing state too.
    if (full)
        refresh();
    else if (processing)
        refreshProcessingStatus();
}

// Repository monitor

void ProjectListViewModel::configureRepositoryMonitor()
{
    m_repositories->configureRepositoryMonitor();
}

QStringList ProjectListViewModel::existingProjectPaths() const
{
    return m_repositories->existingProjectPaths();
}

void ProjectListViewModel::scheduleRepositoryRefresh(const QSet<QString> &paths)
{
    m_repositories->scheduleRepositoryRefresh(paths);
}

void ProjectListViewModel::refreshAllRepositories()
{
    m_repositories->refreshAllRepositories();
}

// MARK: - The user's actions: tags, project actions and renaming
//
// Carried out by ProjectTagController, ProjectActions and ProjectRenamer, which reach the
// published state only through the access below and start their jobs in this object's group.

CoordinatorAccess ProjectListViewModel::actionAccess()
{
    CoordinatorAccess access;
    access.context = this;
    access.runJob = [this](JobPriority priority, std::function<void()> job) {
        m_jobs.run<bool>(
            priority,
            [job = std::move(job)] {
                job();
                return true;
            },
            [](bool) {});
    };
    access.projects = [this] { return m_projects; };
    access.publishProjects = [this](const QList<CodexProject> &projects) {
        publish(m_projects, projects);
        updateFilteredProjects(false);
    };
    access.setStatusMessage = [this](const QString &message) { setStatusMessage(message); };
    access.refresh = [this](std::function<void()> done) { refresh(std::move(done)); };
    access.tagState = [this] { return ProjectTagSnapshot{m_tags, m_projectTagIDsByPath}; };
    access.publishTagState = [this](const ProjectTagSnapshot &state) {
        publish(m_tags, state.tags);
        publish(m_projectTagIDsByPath, state.projectTagIDsByPath);
        updateFilteredProjects(false);
    };
    access.setTagErrorMessage = [this](const std::optional<QString> &message) {
        publish(m_tagErrorMessage, message);
    };
    access.selectedTagID = [this] { return m_criteria.selectedTagID; };
    access.setSelectedTagID = [this](const std::optional<QUuid> &id) { setSelectedTagID(id); };
    return access;
}

void ProjectListViewModel::setUpActions()
{
    m_tagController = std::make_unique<ProjectTagController>(actionAccess(), *m_projectTagStore);
    m_actions = std::make_unique<ProjectActions>(
        actionAccess(),
        ProjectActions::Services{*m_actionServices.desktop, *m_actionServices.codexLauncher,
                                 m_projectTagStore->defaults(), *m_globalStateStore,
                                 *m_projectCatalogStore},
        *m_tagController, m_actionServices.clock);
    m_renamer = std::make_unique<ProjectRenamer>(
        actionAccess(),
        ProjectRenamer::Services{*m_store, *m_globalStateStore, *m_projectCatalogStore,
                                 *m_actionServices.codexApplication},
        m_actionServices.clock.now);
}

void ProjectListViewModel::setTagSidebarVisible(bool visible)
{
    if (visible == m_isTagSidebarVisible)
        return;
    publish(m_isTagSidebarVisible, visible);
    m_projectTagStore->defaults().setValue(m_projectTagStore->sidebarVisibilityKey(), visible);
}

void ProjectListViewModel::addTag(const QString &name)
{
    m_tagController->addTag(name);
}

void ProjectListViewModel::renameTag(const QUuid &tagID, const QString &name)
{
    m_tagController->renameTag(tagID, name);
}

void ProjectListViewModel::deleteTag(const QUuid &tagID)
{
    m_tagController->deleteTag(tagID);
}

void ProjectListViewModel::toggleTag(const QUuid &tagID, const QString &projectPath)
{
    m_tagController->toggleTag(tagID, projectPath);
}

ProjectTagStatus ProjectListViewModel::projectStatus(const std::optional<QUuid> &tagID) const
{
    return ProjectTagEditing::projectStatus(
        m_projects, ProjectTagSnapshot{m_tags, m_projectTagIDsByPath}, tagID);
}

QList<ProjectTag> ProjectListViewModel::tags(const QString &projectPath) const
{
    return ProjectTagEditing::tagsForProjectPath(
        ProjectTagSnapshot{m_tags, m_projectTagIDsByPath}, projectPath);
}

void ProjectListViewModel::createNewProject(FolderPicker &picker, Completion done)
{
    m_actions->createNewProject(picker, std::move(done));
}

std::optional<QString> ProjectListViewModel::defaultNewProjectParentDirectory() const
{
    return m_actions->newProjectCreator().defaultParentDirectory();
}

void ProjectListViewModel::openThread(const QString &threadID, const ProjectCardSnapshot &project,
                                      const QString &description, Completion done)
{
    m_actions->openThread(threadID, project, description, std::move(done));
}

void ProjectListViewModel::startNewChat(const QString &path, const QString &projectName)
{
    m_actions->startNewChat(path, projectName);
}

void ProjectListViewModel::togglePin(const ProjectCardSnapshot &project, Completion done)
{
    m_actions->togglePin(project, std::move(done));
}

void ProjectListViewModel::renameProject(const CodexProject &project, const QString &newName,
                                         Completion done)
{
    m_renamer->renameProject(project, newName, std::move(done));
}

void ProjectListViewModel::openTerminal(const QString &path)
{
    m_actions->openTerminal(path);
}

void ProjectListViewModel::runTerminalCommand(const QString &folder, const QString &program,
                                              const QStringList &arguments)
{
    m_actions->runTerminalCommand(folder, program, arguments);
}

void ProjectListViewModel::revealInFileManager(const QString &path)
{
    m_actions->revealInFileManager(path);
}

} // namespace tolvaran
