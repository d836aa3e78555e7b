#include "coordinator/ProjectListRefresh.h"

#include "coordinator/CoordinatorAlarm.h"
#include "coordinator/CoordinatorLogging.h"
#include "coordinator/ProjectListViewModel.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/codex/CodexActivityStore.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "data/git/LocalTeamProjectSource.h"
#include "platform/Error.h"
#include "platform/FreedMemory.h"
#include "team_interface/TeamWorkspaceService.h"
#include "work/WorkGroup.h"

#include <exception>
#include <utility>

namespace tolvaran {

namespace {

void callAll(const QList<ProjectListRefresh::Completion> &completions)
{
    for (const ProjectListRefresh::Completion &done : completions) {
        if (done)
            done();
    }
}

} // namespace

ProjectListRefresh::ProjectListRefresh(ProjectListViewModel &model,
                                       const ProjectListStores &stores, WorkGroup &jobs,
                                       CoordinatorClock clock, Access access)
    : m_model(model)
    , m_stores(stores)
    , m_jobs(jobs)
    , m_clock(std::move(clock))
    , m_access(std::move(access))
    , m_processingRecheck(std::make_unique<CoordinatorAlarm>(
          &model, m_clock, [this] { refreshProcessingStatus({}); }))
{
}

ProjectListRefresh::~ProjectListRefresh() = default;

// Full refresh

void ProjectListRefresh::refresh(Completion done)
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

void ProjectListRefresh::startFullRefresh()
{
    m_refreshInProgress = true;
    m_refreshSetLoading = m_model.projects().isEmpty();
    if (m_refreshSetLoading)
        m_access.setLoading(true);

    const CodexStore *store = &m_stores.codexStore;
    const CodexGlobalStateStore *globalStateStore = &m_stores.globalStateStore;
    ProjectCatalogStore *catalog = &m_stores.projectCatalogStore;
    const bool includeArchived = m_model.includeArchived();
    m_jobs.run<ProjectAssembly::FullRefresh>(
        JobPriority::userInitiated,
        [store, globalStateStore, catalog, includeArchived,
         shown = m_model.projects()](const WorkContext &) {
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

void ProjectListRefresh::applyFullRefresh(ProjectAssembly::FullRefresh result)
{
    if (result.projects != m_model.projects()) {
        // The projects replaced go with the rest of the refresh's leftovers when it ends.
        QList<CodexProject> replaced = m_model.projects();
        m_access.publishProjects(std::move(result.projects));
        result.projects = std::move(replaced);
        updateTeamProjects(m_model.projects());

        QSet<QString> paths;
        for (const CodexProject &project : m_model.projects())
            paths.insert(project.path());
        QHash<QString, ProjectGitStatus> statuses = m_model.projectGitStatuses();
        for (auto status = statuses.begin(); status != statuses.end();) {
            if (paths.contains(status.key()))
                ++status;
            else
                status = statuses.erase(status);
        }
        if (statuses.size() != m_model.projectGitStatuses().size())
            m_access.publishGitStatuses(std::move(statuses));

        selectExistingProject();
        m_model.updateFilteredProjects(false);
        if (m_model.isMonitoring()) {
            m_model.configureCodexMonitor();
            m_model.configureRepositoryMonitor();
        }
    }
    m_access.setErrorMessage(std::nullopt);
    // The catalog is brought up to date once the list is shown: with a long history its
    // writes take longer than the rest of the refresh, and at a start the cards would wait
    // for them. The refresh ends when they are done.
    ProjectCatalogStore *catalog = &m_stores.projectCatalogStore;
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

void ProjectListRefresh::completeFullRefresh(ProjectAssembly::FullRefresh result,
                                             const std::optional<QString> &writeMessage)
{
    if (const std::optional<QString> message =
            result.catalogMessage ? result.catalogMessage : writeMessage) {
        qCWarning(lcCoordinator) << "The project catalog was not updated:" << *message;
        m_access.reportFailure(catalogNotUpdatedPrefix + *message);
    } else {
        // Codex's data and the catalog read well again: what an earlier failure said no
        // longer holds.
        m_access.clearFailure();
    }
    m_access.setLastRefreshedAt(Timestamp::now());
    m_access.requestTokenUsage(result.allThreads);
    finishFullRefresh();
    // What is left of the refresh (the projects it replaced, or its own when they equal those
    // shown) holds tens of thousands of strings: they are let go on a worker thread, not in
    // this turn, and the pages the refresh freed go back to the system.
    m_jobs.run(JobPriority::utility, [released = std::move(result)](const WorkContext &) mutable {
        released = {};
        releaseFreedMemory();
    });
}

void ProjectListRefresh::loadCatalogFallback(const QString &error)
{
    ProjectCatalogStore *catalog = &m_stores.projectCatalogStore;
    const bool includeArchived = m_model.includeArchived();
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

void ProjectListRefresh::applyCatalogFallback(const QString &error,
                                              const QList<CodexProject> &catalog,
                                              const QList<CodexThread> &allThreads)
{
    if (catalog.isEmpty()) {
        if (!m_model.projects().isEmpty())
            m_access.reportFailure(refreshFailedPrefix + error);
        else
            m_access.setErrorMessage(error);
        finishFullRefresh();
        return;
    }

    const bool unchanged = catalog == m_model.projects();
    m_access.publishProjects(catalog);
    if (!unchanged) {
        updateTeamProjects(m_model.projects());
        selectExistingProject();
        m_model.updateFilteredProjects(false);
        if (m_model.isMonitoring())
            m_model.configureRepositoryMonitor();
    }
    m_access.setErrorMessage(std::nullopt);
    m_access.reportFailure(codexUnavailableMessage);
    m_access.setLastRefreshedAt(Timestamp::now());
    m_access.requestTokenUsage(allThreads);
    finishFullRefresh();
}

void ProjectListRefresh::finishFullRefresh()
{
    if (m_refreshSetLoading)
        m_access.setLoading(false);
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

void ProjectListRefresh::selectExistingProject()
{
    if (m_model.selectedProjectID() && m_model.project(*m_model.selectedProjectID()))
        return;
    if (m_model.projects().isEmpty())
        m_model.setSelectedProjectID(std::nullopt);
    else
        m_model.setSelectedProjectID(m_model.projects().first().path());
}

void ProjectListRefresh::updateTeamProjects(const QList<CodexProject> &projects)
{
    // Of several quick hand-overs only the last reaches the team workspace.
    const quint64 generation = ++m_teamProjectUpdateGeneration;
    CodexActivityStore *activityStore = &m_stores.codexStore.activityStore();
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
                m_stores.teamService.updateProjects(sources);
        });
}

// Processing refresh

void ProjectListRefresh::refreshProcessingStatus(Completion done)
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

void ProjectListRefresh::startProcessingRefresh()
{
    QSet<QString> currentIDs;
    for (const CodexProject &project : m_model.projects())
        currentIDs.unite(project.processingThreadIDs());
    const QSet<QString> managedIDs = CodexActivityStore::managedProcessingThreadIDs();
    const Timestamp cutoff = Timestamp::now().addingSeconds(-processingLookbackSeconds);

    QList<CodexThread> candidates;
    QSet<QString> candidateIDs;
    for (const CodexProject &project : m_model.projects()) {
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
    CodexActivityStore *activityStore = &m_stores.codexStore.activityStore();
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

void ProjectListRefresh::applyProcessingRefresh(const QSet<QString> &candidateIDs,
                                                const QSet<QString> &processingIDs)
{
    // Applied to the projects as they are now: a full refresh may have replaced them
    // meanwhile. Threads that were not read (new to the list since) keep their state.
    QList<CodexProject> rebuilt;
    rebuilt.reserve(m_model.projects().size());
    for (const CodexProject &project : m_model.projects()) {
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
    if (rebuilt == m_model.projects())
        return;
    m_access.publishProjects(std::move(rebuilt));
    m_model.updateFilteredProjects(false);
    updateTeamProjects(m_model.projects());
}

void ProjectListRefresh::scheduleProcessingRecheck()
{
    if (m_model.processingProjectCount() == 0) {
        m_processingRecheck->setAt(std::nullopt);
        return;
    }
    if (!m_processingRecheck->moment()) {
        m_processingRecheck->setAt(m_clock.now().addingSeconds(
            double(processingRecheckInterval.count())));
    }
}

void ProjectListRefresh::finishProcessingRefresh()
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

} // namespace tolvaran
