#include "coordinator/ProjectListViewModel.h"

#include "coordinator/CodexChangeMonitor.h"
#include "coordinator/CoordinatorAccess.h"
#include "coordinator/CoordinatorAlarm.h"
#include "coordinator/CoordinatorLogging.h"
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
#include "data/catalog/ProjectCatalogStore.h"
#include "data/git/ProjectMetadataCache.h"
#include "data/git/ProjectRepositoryStore.h"
#include "data/catalog/ProjectTagSnapshot.h"
#include "data/catalog/ProjectTagStore.h"
#include "team_interface/TeamWorkspaceService.h"
#include "data/token_usage/TokenUsageStore.h"
#include "platform/file_events/FileSystemEventMonitor.h"
#include "platform/SaturatingAdd.h"
#include "platform/storage/KeyValueStore.h"
#include "platform/Paths.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace tolvaran {

namespace {

using Self = ProjectListViewModel; // for the announcements of publish()

} // namespace

ProjectListViewModel::ProjectListViewModel(const ProjectListStores &stores,
                                           ProjectActionServices actionServices,
                                           QObject *parent)
    : QObject(parent)
    , m_list(FilteredProjectList::Sources{m_projects, m_projectTagIDsByPath, stores.teamService},
             [this](FilteredProjectList::Change change) {
                 if (change == FilteredProjectList::Change::criteria)
                     Q_EMIT listCriteriaChanged();
                 else
                     Q_EMIT projectsChanged();
                 Q_EMIT objectWillChange();
             })
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
    , m_codexMonitor(new CodexChangeMonitor(this, actionServices.clock))
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
    m_refresh = std::make_unique<ProjectListRefresh>(*this, stores, m_jobs,
                                                     m_actionServices.clock, refreshAccess());

    const ProjectTagSnapshot tagSnapshot = m_projectTagStore->loadSnapshot();
    m_tags = tagSnapshot.tags;
    m_projectTagIDsByPath = tagSnapshot.projectTagIDsByPath;
    m_isTagSidebarVisible =
        m_projectTagStore->defaults().boolean(m_projectTagStore->sidebarVisibilityKey(), false);

    m_list.setSelectedTagID(std::nullopt);
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
        m_list.resetVanishedTeamFilter();
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

// Published values set by the window

void ProjectListViewModel::setIncludeArchived(bool include)
{
    publish(&Self::listCriteriaChanged, m_includeArchived, include);
}

void ProjectListViewModel::setStatusMessage(const std::optional<QString> &message)
{
    m_statusSource = StatusSource::other;
    publish(&Self::statusChanged, m_statusMessage, message);
}

void ProjectListViewModel::setFailureStatus(const QString &message, StatusSource source)
{
    publish(&Self::statusChanged, m_statusMessage, message);
    m_statusSource = source;
}

void ProjectListViewModel::clearFailureStatus(StatusSource source)
{
    // Only the failure's own message goes: whatever was said since stays.
    if (m_statusSource != source || !m_statusMessage)
        return;
    m_statusSource = StatusSource::other;
    publish(&Self::statusChanged, m_statusMessage, std::nullopt);
}

void ProjectListViewModel::setSelectedProjectID(const std::optional<QString> &projectID)
{
    publish(&Self::projectsChanged, m_selectedProjectID, projectID);
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
        codexTotal = saturatingAdd(codexTotal, project.totalTokens());
    // Until the index has finished a pass, Codex's own counts are the best lifetime figure;
    // afterwards the index's figure is shown even when it is smaller.
    if (m_tokenUsageSnapshot.indexedAt.isDistantPast() && codexTotal > 0)
        report.lifetimeTokens = codexTotal;
    return report;
}

std::optional<QString> ProjectListViewModel::selectedTagName() const
{
    if (!m_list.criteria().selectedTagID)
        return std::nullopt;
    for (const ProjectTag &tag : m_tags) {
        if (tag.id == *m_list.criteria().selectedTagID)
            return tag.name;
    }
    return std::nullopt;
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

// The user's actions: tags, project actions and renaming
//
// Carried out by ProjectTagController, ProjectActions and ProjectRenamer, which reach the
// published state only through the access below and start their jobs in this object's group.

CoordinatorAccess ProjectListViewModel::actionAccess()
{
    CoordinatorAccess access;
    access.context = this;
    access.work = &m_jobs;
    access.projects = [this] { return m_projects; };
    access.publishProjects = [this](const QList<CodexProject> &projects) {
        publish(&Self::projectsChanged, m_projects, projects);
        updateFilteredProjects(false);
    };
    access.setStatusMessage = [this](const QString &message) { setStatusMessage(message); };
    access.refresh = [this](std::function<void()> done) { refresh(std::move(done)); };
    access.tagState = [this] { return ProjectTagSnapshot{m_tags, m_projectTagIDsByPath}; };
    access.publishTagState = [this](const ProjectTagSnapshot &state) {
        publish(&Self::tagsChanged, m_tags, state.tags);
        publish(&Self::tagsChanged, m_projectTagIDsByPath, state.projectTagIDsByPath);
        updateFilteredProjects(false);
    };
    access.setTagErrorMessage = [this](const std::optional<QString> &message) {
        publish(&Self::tagsChanged, m_tagErrorMessage, message);
    };
    access.selectedTagID = [this] { return m_list.criteria().selectedTagID; };
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
    publish(&Self::tagsChanged, m_isTagSidebarVisible, visible);
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

// Start and refreshes

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

void ProjectListViewModel::refresh(Completion done)
{
    m_refresh->refresh(std::move(done));
}

void ProjectListViewModel::refreshProcessingStatus(Completion done)
{
    m_refresh->refreshProcessingStatus(std::move(done));
}

ProjectListRefresh::Access ProjectListViewModel::refreshAccess()
{
    ProjectListRefresh::Access access;
    access.setLoading = [this](bool loading) {
        publish(&Self::statusChanged, m_isLoading, loading);
    };
    access.publishProjects = [this](QList<CodexProject> projects) {
        publish(&Self::projectsChanged, m_projects, std::move(projects));
    };
    access.publishGitStatuses = [this](QHash<QString, ProjectGitStatus> statuses) {
        publish(&Self::gitStatusesChanged, m_projectGitStatuses, std::move(statuses));
    };
    access.setErrorMessage = [this](const std::optional<QString> &message) {
        publish(&Self::statusChanged, m_errorMessage, message);
    };
    access.setLastRefreshedAt = [this](Timestamp refreshedAt) {
        publish(&Self::statusChanged, m_lastRefreshedAt, refreshedAt);
    };
    access.reportFailure = [this](const QString &message) {
        setFailureStatus(message, StatusSource::refreshFailure);
    };
    access.clearFailure = [this] { clearFailureStatus(StatusSource::refreshFailure); };
    access.requestTokenUsage = [this](const QList<CodexThread> &threads) {
        m_tokenUsageThreads = threads;
        m_tokenUsage->request(threads);
    };
    return access;
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
