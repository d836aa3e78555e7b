#include "detail/ProjectDetailViewModel.h"

#include "coordinator/ProjectListViewModel.h"
#include "data/git/ProjectRepositoryStore.h"
#include "team_interface/TeamWorkspaceService.h"
#include "team/view/TeamProjectViewSource.h"

namespace tolvaran {

ProjectDetailViewModel::DetailsLoader
ProjectDetailViewModel::repositoryLoader(const ProjectRepositoryStore &store)
{
    return [&store](const QString &path, const WorkContext &context) {
        ProjectDetailSnapshot snapshot;
        snapshot.commits = store.loadRecentCommits(path);
        if (!context.stopRequested())
            snapshot.markdownFiles = store.loadMarkdownFiles(path);
        return snapshot;
    };
}

ProjectDetailViewModel::ProjectDetailViewModel(const CodexProject &project,
                                               ProjectListViewModel &coordinator,
                                               DetailsLoader loader, QObject *parent)
    : QObject(parent)
    , m_coordinator(coordinator)
    , m_loader(std::move(loader))
    , m_project(project)
{
    if (std::optional<CodexProject> live = m_coordinator.project(project.path()))
        m_project = std::move(*live);
    m_gitStatus = m_coordinator.projectGitStatuses().contains(m_project.path())
                      ? std::optional(m_coordinator.projectGitStatuses().value(m_project.path()))
                      : std::nullopt;
    m_statusMessage = m_coordinator.statusMessage();
    m_canRename = m_coordinator.processingProjectCount() == 0;
    connect(&m_coordinator, &ProjectListViewModel::projectsChanged, this,
            &ProjectDetailViewModel::followProjects);
    connect(&m_coordinator, &ProjectListViewModel::gitStatusChanged, this,
            [this](const QString &path) {
                if (path == m_project.path())
                    followGitStatus();
            });
    connect(&m_coordinator, &ProjectListViewModel::gitStatusesChanged, this,
            &ProjectDetailViewModel::followGitStatus);
    connect(&m_coordinator, &ProjectListViewModel::statusChanged, this,
            &ProjectDetailViewModel::followStatus);
}

ProjectDetailViewModel::~ProjectDetailViewModel()
{
    m_load.cancel();
}

void ProjectDetailViewModel::loadDetails()
{
    m_load.cancel();
    const quint64 generation = ++m_loadGeneration;
    if (!m_isLoadingDetails) {
        m_isLoadingDetails = true;
        Q_EMIT detailsChanged();
    }
    m_load = m_work.run<ProjectDetailSnapshot>(
        JobPriority::userInitiated,
        [loader = m_loader, path = projectPath()](const WorkContext &context) {
            return loader(path, context);
        },
        [this, generation](ProjectDetailSnapshot snapshot) {
            if (generation != m_loadGeneration)
                return;
            m_details = std::move(snapshot);
            m_isLoadingDetails = false;
            Q_EMIT detailsChanged();
            m_coordinator.refreshGitStatus(projectPath(), true);
        });
}

void ProjectDetailViewModel::close()
{
    ++m_loadGeneration;
    m_load.cancel();
}

void ProjectDetailViewModel::openLatestChat()
{
    const ProjectCardSnapshot snapshot = m_project.cardSnapshot();
    if (snapshot.latestThreadID)
        m_coordinator.openThread(*snapshot.latestThreadID, snapshot, latestChatDescription);
    else
        m_coordinator.startNewChat(snapshot.path, snapshot.name);
}

void ProjectDetailViewModel::startNewChat()
{
    m_coordinator.startNewChat(m_project.path(), m_project.name());
}

void ProjectDetailViewModel::openChat(const QString &threadID)
{
    m_coordinator.openThread(threadID, m_project.cardSnapshot(), chatDescription);
}

void ProjectDetailViewModel::revealInFileManager()
{
    m_coordinator.revealInFileManager(m_project.path());
}

void ProjectDetailViewModel::openTerminal()
{
    m_coordinator.openTerminal(m_project.path());
}

void ProjectDetailViewModel::renameProject(const QString &name)
{
    m_coordinator.renameProject(m_project, name);
}

void ProjectDetailViewModel::dismissStatusMessage()
{
    m_coordinator.setStatusMessage(std::nullopt);
}

void ProjectDetailViewModel::followTeam(const TeamProjectViewSource &source,
                                        TeamWorkspaceService &workspace)
{
    m_teamSource = &source;
    // One read a turn later for the lot: a team's change often alters several of them at once.
    for (const auto changed :
         {&TeamWorkspaceService::projectSummariesChanged,
          &TeamWorkspaceService::usageSummariesChanged,
          &TeamWorkspaceService::localActivityChanged}) {
        connect(&workspace, changed, this, [this] { m_teamRead.schedule(); });
    }
    readTeamValues();
}

void ProjectDetailViewModel::readTeamValues()
{
    const QString &path = m_project.path();
    std::optional<TeamProjectUsageSummary> usage = m_teamSource->usageSummary(path);
    std::optional<TeamProjectSummary> summary = m_teamSource->summary(path);
    std::optional<SharedProjectState> activity = m_teamSource->localActivity(path);
    if (usage == m_teamUsage && summary == m_teamSummary && activity == m_localActivity)
        return;
    m_teamUsage = std::move(usage);
    m_teamSummary = std::move(summary);
    m_localActivity = std::move(activity);
    Q_EMIT teamValuesChanged();
}

void ProjectDetailViewModel::followProjects()
{
    std::optional<CodexProject> live = m_coordinator.project(m_project.path());
    if (live && *live != m_project) {
        m_project = std::move(*live);
        Q_EMIT projectChanged();
    }
    const bool canRename = m_coordinator.processingProjectCount() == 0;
    if (canRename != m_canRename) {
        m_canRename = canRename;
        Q_EMIT canRenameChanged();
    }
}

void ProjectDetailViewModel::followGitStatus()
{
    const auto &statuses = m_coordinator.projectGitStatuses();
    const auto found = statuses.constFind(m_project.path());
    std::optional<ProjectGitStatus> status;
    if (found != statuses.constEnd())
        status = *found;
    if (status != m_gitStatus) {
        m_gitStatus = std::move(status);
        Q_EMIT gitStatusChanged();
    }
}

void ProjectDetailViewModel::followStatus()
{
    if (m_coordinator.statusMessage() != m_statusMessage) {
        m_statusMessage = m_coordinator.statusMessage();
        Q_EMIT statusMessageChanged();
    }
}

} // namespace tolvaran
