#include "coordinator/ProjectListViewModel.h"

#include "coordinator/CodexChangeMonitor.h"
#include "coordinator/CoordinatorAccess.h"
#include "coordinator/CoordinatorAlarm.h"
#include "coordinator/CoordinatorLogging.h"
#include "coordinator/ProjectAssembly.h"
#include "coordinator/actions/ProjectActions.h"
#include "coordinator/actions/ProjectRenamer.h"
#include "coordinator/actions/ProjectTagController.h"
#include "coordinator/actions/ProjectTagEditing.h"
#include "coordinator/RepositoryRefreshScheduler.h"
#include "coordinator/TokenUsageRefresher.h"
#include "data/codex/CodexActivityNotifier.h"
#include "data/codex/CodexActivityStore.h"
#include "data/codex/CodexFileLayout.h"
#include "data/codex/CodexGlobalStateSnapshot.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "data/git/LocalTeamProjectSource.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/git/ProjectMetadataCache.h"
#include "data/git/ProjectRepositoryStore.h"
#include "data/catalog/ProjectTagSnapshot.h"
#include "data/catalog/ProjectTagStore.h"
#include "team_interface/TeamWorkspaceService.h"
#include "team_interface/TeamWorkspaceTeam.h"
#include "data/token_usage/TokenUsageStore.h"
#include "platform/Error.h"
#include "platform/file_events/FileSystemEventMonitor.h"
#include "platform/FreedMemory.h"
#include "platform/storage/KeyValueStore.h"
#include "platform/Paths.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace tolvaran {

namespace {

using Self = ProjectListViewModel; // for the announcements of publish()

void callAll(const QList<ProjectListViewModel::Completion> &completions)
{
    for (const ProjectListViewModel::Completion &done : completions) {
        if (done)
            done();
    }
}

} // namespace



ProjectListViewModel::ProjectListViewModel(const ProjectListStores &stores,
                                           ProjectActionServices actionServices,
                                           QObject *parent)
    : QObject(parent)
    , m_tokenUsageSnapshot(TokenUsageSnapshot::empty())
    , m_store(&stores.codexStore)
    , m_globalStateStore(&stores.globalStateStore)
    , m_repositoryStore(&stores.repositoryStore)
    , m_metadataCache(stores.metadataCache)
    , m_projectCatalogStore(&stores.projectCatalogStore)
    , m_teamService(stores.teamService)
    , m_projectTagStore(&stores.projectTagStore)
    , m_tokenUsageStore(&stores.tokenUsageStore)
    , m_tokenUsage(new TokenUsageRefresher(
          stores.tokenUsageStore, m_jobs,
          [this](const TokenUsageRefresher::Outcome &outcome) { finishTokenUsagePass(outcome); },
          [this] { return m_actionServices.clock.now(); }, this))
    , m_codexMonitor(new CodexChangeMonitor(this))
    , m_teamChangeTimer(new QTimer(this))
    , m_repositories(std::make_unique<RepositoryRefreshScheduler>(
          RepositoryRefreshScheduler::Access{
              [this] { return m_projects; },
              [this](const QString &path, std::function<void()> done) {
                  refreshGitStatus(path, true, std::move(done));
              },
              [this] { return m_statusMessage; },
              [this](const std::optional<QString> &message) { setStatusMessage(message); }},
          m_metadataCache, m_teamService))
    , m_actionServices(std::move(actionServices))
{
    m_tokenUsageBoundary = std::make_unique<CoordinatorAlarm>(
        this, m_actionServices.clock, [this] { reaggregateTokenUsage(); });
    m_processingRecheck = std::make_unique<CoordinatorAlarm>(
        this, m_actionServices.clock, [this] { refreshProcessingStatus(); });

    const ProjectTagSnapshot tagSnapshot = m_projectTagStore->loadSnapshot();
    m_tags = tagSnapshot.tags;
    m_projectTagIDsByPath = tagSnapshot.projectTagIDsByPath;
    m_isTagSidebarVisible =
        m_projectTagStore->defaults().boolean(m_projectTagStore->sidebarVisibilityKey(), false);

    publish(&Self::listCriteriaChanged, m_criteria.selectedTagID, std::nullopt);
    updateFilteredProjects(true);
    publish(&Self::gitStatusesChanged, m_projectGitStatuses, m_metadataCache.gitStatuses());


    connect(m_codexMonitor, &CodexChangeMonitor::fullRefreshRequested, this,
            [this] { refresh(); });
    connect(m_codexMonitor, &CodexChangeMonitor::processingRefreshRequested, this,
            [this] { refreshProcessingStatus(); });
    // While the monitor runs, a token-usage pass and the latest requests of a full refresh
    // look only at the rollouts it saw change.
    connect(m_codexMonitor, &CodexChangeMonitor::filesChanged, this,
            [this](const QStringList &paths) {
                m_tokenUsageStore->noteRolloutChanges(paths);
                m_store->activityStore().noteRolloutChanges(paths);
            });
    connect(m_codexMonitor, &CodexChangeMonitor::changesMissed, this, [this] {
        m_tokenUsageStore->noteRolloutChangesMissed();
        m_store->activityStore().noteRolloutChangesMissed();
    });

    // The team filter reads the enabled teams and the teams that share each project:
    // re-filter (keeping the page) once a burst of their changes has passed.
    m_teamChangeTimer->setSingleShot(true);
    m_teamChangeTimer->setInterval(teamChangeDebounce);
    connect(&m_teamService, &TeamWorkspaceService::enabledTeamsChanged, this, [this] {
        Q_EMIT teamValuesChanged();
        // A team filter whose team is gone shows nothing the user could see or change.
        resetVanishedTeamFilter();
        m_teamChangeTimer->start();
    });
    connect(&m_teamService, &TeamWorkspaceService::sharedProjectsChanged, this, [this] {
        Q_EMIT teamValuesChanged();
        m_teamChangeTimer->start();
    });
    connect(m_teamChangeTimer, &QTimer::timeout, this,
            [this] { updateFilteredProjects(false); });
    // The rest of what the browser shows of the teams: the team button, the footer, the
    // commit banner and the cards' teammates and local activity.
    const auto teamValueChanged = [this] { Q_EMIT teamValuesChanged(); };
    connect(&m_teamService, &TeamWorkspaceService::teamNameChanged, this, teamValueChanged);
    connect(&m_teamService, &TeamWorkspaceService::connectionStateChanged, this,
            teamValueChanged);
    connect(&m_teamService, &TeamWorkspaceService::hasTeamMembershipsChanged, this,
            teamValueChanged);
    connect(&m_teamService, &TeamWorkspaceService::commitNotificationsChanged, this,
            teamValueChanged);
    connect(&m_teamService, &TeamWorkspaceService::projectSummariesChanged, this,
            teamValueChanged);
    connect(&m_teamService, &TeamWorkspaceService::localActivityChanged, this,
            teamValueChanged);

    // Every change of the managed processing threads asks for a processing refresh; the
    // refresh itself coalesces requests that come while one runs.
    connect(CodexActivityNotifier::instance(),
            &CodexActivityNotifier::codexAppManagedProcessingChanged, this,
            [this] { refreshProcessingStatus(); });

    setUpActions();
}

ProjectListViewModel::~ProjectListViewModel()
{
    // No batch is delivered once the monitors are gone; then the jobs still running are asked
    // to stop (a git run or a wait for Codex ends at once) and their results, queued on this
    // object, are discarded with it. The renamer goes after the wait: it starts again a Codex
    // that a stopped rename had closed.
    delete m_codexMonitor;
    m_tokenUsageStore->setRolloutChangesWatched(false);
    m_store->activityStore().setRolloutChangesWatched(false);
    m_repositories.reset();
    m_jobs.cancelAll();
    m_jobs.waitForAll();
    m_renamer.reset();
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
        publish(&Self::statusChanged, m_isLoading, true);

    const CodexStore *store = m_store;
    const CodexGlobalStateStore *globalStateStore = m_globalStateStore;
    ProjectCatalogStore *catalog = m_projectCatalogStore;
    const bool includeArchived = m_includeArchived;
    m_jobs.run<ProjectAssembly::FullRefresh>(
        JobPriority::userInitiated,
        [store, globalStateStore, catalog, includeArchived,
         shown = m_projects](const WorkContext &) {
            return ProjectAssembly::readFullRefresh(*store, *globalStateStore, *catalog,
                                                    includeArchived, activeThreadWindowSeconds,
                                                    shown);
        },
        [this](ProjectAssembly::FullRefresh result) {
            if (result.error) {
                qCWarning(lcCoordinator) << "Codex's data could not be read:" << *result.error;
                loadCatalogFallback(*result.error);
            }
            else {
                applyFullRefresh(std::move(result));
            }
        });
}

void ProjectListViewModel::applyFullRefresh(ProjectAssembly::FullRefresh result)
{
    if (result.projects != m_projects) {
        // The projects replaced go with the rest of the refresh's leftovers when it ends.
        QList<CodexProject> replaced = m_projects;
        publish(&Self::projectsChanged, m_projects, std::move(result.projects));
        result.projects = std::move(replaced);
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
            publish(&Self::gitStatusesChanged, m_projectGitStatuses, std::move(statuses));

        selectExistingProject();
        updateFilteredProjects(false);
        if (m_isMonitoring) {
            configureCodexMonitor();
            configureRepositoryMonitor();
        }
    }
    publish(&Self::statusChanged, m_errorMessage, std::nullopt);
    // The catalog is brought up to date once the list is shown: with a long history its
    // writes take longer than the rest of the refresh, and at a start the cards would wait
    // for them. The refresh ends when they are done.
    ProjectCatalogStore *catalog = m_projectCatalogStore;
    ProjectAssembly::CatalogUpdate update = result.catalogUpdate;
    m_jobs.run<std::optional<QString>>(
        JobPriority::userInitiated,
        [catalog, update = std::move(update)](const WorkContext &) {
            return ProjectAssembly::writeCatalog(*catalog, update);
        },
        [this, result = std::move(result)](const std::optional<QString> &writeMessage) mutable {
            completeFullRefresh(std::move(result), writeMessage);
        });
}

void ProjectListViewModel::completeFullRefresh(ProjectAssembly::FullRefresh result,
                                               const std::optional<QString> &writeMessage)
{
    if (const std::optional<QString> message =
            result.catalogMessage ? result.catalogMessage : writeMessage) {
        qCWarning(lcCoordinator) << "The project catalog was not updated:" << *message;
        setFailureStatus(catalogNotUpdatedPrefix + *message, StatusSource::refreshFailure);
    } else {
        // Codex's data and the catalog read well again: what an earlier failure said no
        // longer holds.
        clearFailureStatus(StatusSource::refreshFailure);
    }
    publish(&Self::statusChanged, m_lastRefreshedAt, Timestamp::now());
    m_tokenUsageThreads = result.allThreads;
    m_tokenUsage->request(result.allThreads);
    finishFullRefresh();
    // What is left of the refresh (the projects it replaced, or its own when they equal those
    // shown) holds tens of thousands of strings: they are let go on a worker thread, not in
    // this turn, and the pages the refresh freed go back to the system.
    m_jobs.run(JobPriority::utility,
               [released = std::move(result)](const WorkContext &) mutable {
                   released = {};
                   releaseFreedMemory();
               });
}

void ProjectListViewModel::loadCatalogFallback(const QString &error)
{
    ProjectCatalogStore *catalog = m_projectCatalogStore;
    const bool includeArchived = m_includeArchived;
    using Catalog = std::pair<QList<CodexProject>, QList<CodexThread>>;
    m_jobs.run<Catalog>(
        JobPriority::userInitiated,
        [catalog, includeArchived](const WorkContext &) {
            try {
                // The token figures count every thread, archived ones too, as after a
                // successful refresh: the lifetime shown must not drop below today's.
                Catalog result;
                result.first = catalog->loadProjects(includeArchived);
                for (const CodexProject &project : catalog->loadProjects(true))
                    result.second.append(project.threads());
                return result;
            } catch (const std::exception &catalogError) {
                // The refresh's own error is the one shown; a catalog that cannot be read
                // either simply has nothing to show.
                qCWarning(lcCoordinator) << "The saved project catalog could not be read:"
                                         << messageOf(catalogError);
                return Catalog();
            }
        },
        [this, error](const Catalog &result) {
            applyCatalogFallback(error, result.first, result.second);
        });
}

void ProjectListViewModel::applyCatalogFallback(const QString &error,
                                                const QList<CodexProject> &catalog,
                                                const QList<CodexThread> &allThreads)
{
    if (catalog.isEmpty()) {
        if (!m_projects.isEmpty())
            setFailureStatus(refreshFailedPrefix + error, StatusSource::refreshFailure);
        else
            publish(&Self::statusChanged, m_errorMessage, error);
        finishFullRefresh();
        return;
    }

    const bool unchanged = catalog == m_projects;
    publish(&Self::projectsChanged, m_projects, catalog);
    if (!unchanged) {
        updateTeamProjects(m_projects);
        selectExistingProject();
        updateFilteredProjects(false);
        if (m_isMonitoring)
            configureRepositoryMonitor();
    }
    publish(&Self::statusChanged, m_errorMessage, std::nullopt);
    setFailureStatus(codexUnavailableMessage, StatusSource::refreshFailure);
    publish(&Self::statusChanged, m_lastRefreshedAt, Timestamp::now());
    m_tokenUsageThreads = allThreads;
    m_tokenUsage->request(allThreads);
    finishFullRefresh();
}

void ProjectListViewModel::finishFullRefresh()
{
    if (m_refreshSetLoading)
        publish(&Self::statusChanged, m_isLoading, false);
    m_refreshInProgress = false;
    scheduleProcessingRecheck();
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
        publish(&Self::projectsChanged, m_selectedProjectID, std::nullopt);
    else
        publish(&Self::projectsChanged, m_selectedProjectID, m_projects.first().path());
}

void ProjectListViewModel::updateTeamProjects(const QList<CodexProject> &projects)
{
    // Of several quick hand-overs only the last reaches the team workspace.
    const quint64 generation = ++m_teamProjectUpdateGeneration;
    CodexActivityStore *activityStore = &m_store->activityStore();
    m_jobs.run<QList<LocalTeamProjectSource>>(
        JobPriority::utility,
        [activityStore, projects](const WorkContext &) {
            QList<LocalTeamProjectSource> sources;
            sources.reserve(projects.size());
            for (const CodexProject &project : projects)
                sources.append(ProjectAssembly::teamProjectSource(project, *activityStore));
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
        [activityStore, candidates](const WorkContext &) {
            return activityStore->processingThreadIDs(candidates);
        },
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
    publish(&Self::projectsChanged, m_projects, std::move(rebuilt));
    updateFilteredProjects(false);
    updateTeamProjects(m_projects);
}

void ProjectListViewModel::scheduleProcessingRecheck()
{
    if (processingProjectCount() == 0) {
        m_processingRecheck->setAt(std::nullopt);
        return;
    }
    if (!m_processingRecheck->moment()) {
        m_processingRecheck->setAt(m_actionServices.clock.now().addingSeconds(
            double(processingRecheckInterval.count())));
    }
}

void ProjectListViewModel::finishProcessingRefresh()
{
    m_isRefreshingProcessing = false;
    scheduleProcessingRecheck();
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

    const ProjectRepositoryStore *repositoryStore = m_repositoryStore;
    m_jobs.run<ProjectGitStatus>(
        JobPriority::background,
        // A git that hangs or cannot start hands back the stored status: a hiccup never turns
        // a known repository into "not a repository".
        [repositoryStore, path, stored](const WorkContext &work) {
            return repositoryStore->loadGitStatus(path, stored, work.stopToken());
        },
        [this, path, done = std::move(done)](ProjectGitStatus status) {
            m_projectGitStatuses.insert(path, status);
            Q_EMIT gitStatusChanged(path);
            Q_EMIT objectWillChange();
            m_metadataCache.setGitStatus(status, path);
            if (done)
                done();
        });
}

// Token usage

void ProjectListViewModel::finishTokenUsagePass(const TokenUsageRefresher::Outcome &result)
{
    if (result.snapshot) {
        if (result.snapshot->indexedAt >= m_tokenUsageSnapshot.indexedAt) {
            publishTokenUsage(*result.snapshot);
            publish(&Self::tokenUsageChanged, m_isIndexingTokenUsage,
                    result.snapshot->pendingRolloutCount >= 1);
        }
        clearFailureStatus(StatusSource::tokenUsageFailure);
    } else {
        // The last snapshot stays; the next full refresh starts over.
        qCWarning(lcCoordinator) << "The token-usage index was not updated:" << result.error;
        publish(&Self::tokenUsageChanged, m_isIndexingTokenUsage, false);
        setFailureStatus(result.error, StatusSource::tokenUsageFailure);
    }
}

void ProjectListViewModel::publishTokenUsage(const TokenUsageSnapshot &snapshot)
{
    publish(&Self::tokenUsageChanged, m_tokenUsageSnapshot, snapshot);
    m_teamService.updateTokenUsage(m_tokenUsageSnapshot);
    m_tokenUsageBoundary->setAt(snapshot.nextBoundaryAt);
}

void ProjectListViewModel::reaggregateTokenUsage()
{
    // A pass running now publishes a snapshot of its own, with its own next boundary.
    if (m_tokenUsage->isPassRunning() || m_reaggregating)
        return;
    m_reaggregating = true;
    const TokenUsageStore *store = m_tokenUsageStore;
    m_jobs.run<std::optional<TokenUsageSnapshot>>(
        JobPriority::utility,
        [store, threads = m_tokenUsageThreads,
         pending = m_tokenUsageSnapshot.pendingRolloutCount,
         now = m_actionServices.clock.now()](const WorkContext &) {
            return store->reaggregate(threads, pending, now);
        },
        [this](const std::optional<TokenUsageSnapshot> &snapshot) {
            m_reaggregating = false;
            // Nothing when a pass took the kept events meanwhile: its snapshot follows.
            if (snapshot && snapshot->indexedAt >= m_tokenUsageSnapshot.indexedAt)
                publishTokenUsage(*snapshot);
        });
}

// Codex monitor

void ProjectListViewModel::configureCodexMonitor()
{
    m_codexMonitor->watchRolloutsOf(
        m_projects, Timestamp::now().addingSeconds(-activeThreadWindowSeconds));
    // Codex's folder is the one that holds its thread database.
    if (!m_codexMonitor->isStarted()) {
        m_codexMonitor->start(QFileInfo(m_store->databasePath()).absolutePath());
        m_tokenUsageStore->setRolloutChangesWatched(true);
        m_store->activityStore().setRolloutChangesWatched(true);
    }
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

} // namespace tolvaran
