#pragma once

#include "data/catalog/CodexProject.h"
#include "data/git/ProjectDetailSnapshot.h"
#include "data/git/ProjectGitStatus.h"
#include "data/git/SharedProjectState.h"
#include "work/QueuedCall.h"
#include "work/WorkContext.h"
#include "work/WorkGroup.h"
#include "work/WorkHandle.h"
#include "team/view/TeamProjectSummary.h"
#include "team/view/TeamProjectUsageSummary.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace tolvaran {

class ProjectDetailViewModel;
class ProjectListViewModel;
class ProjectRepositoryStore;
class TeamProjectViewSource;
class TeamWorkspaceService;

// Makes the model of a project's detail pane; the composition root knows what it needs.
using ProjectDetailModelFactory =
    std::function<std::unique_ptr<ProjectDetailViewModel>(const CodexProject &project)>;

// The model of one project's detail pane. It follows the live project through the project
// list coordinator (its chats, name, branch, processing state and git status, falling back to
// the project as opened while the coordinator does not list it), loads the project's recent
// commits and Markdown files once in the background, and carries out the pane's actions
// through the coordinator, whose status message the pane shows.
//
// Every published value has its own change signal, sent only when the value changed, so the
// pane updates the section that shows it and never rebuilds itself.
class ProjectDetailViewModel final : public QObject
{
    Q_OBJECT

public:
    // Reads the details of the project at `path`; runs on a worker thread and should return
    // early when the context asks it to stop.
    using DetailsLoader =
        std::function<ProjectDetailSnapshot(const QString &path, const WorkContext &context)>;

    static inline const QString latestChatDescription = QStringLiteral("latest chat");
    static inline const QString chatDescription = QStringLiteral("chat");

    // The details as `store` lists them: the recent commits, then the Markdown files.
    static DetailsLoader repositoryLoader(const ProjectRepositoryStore &store);

    // `coordinator` and what `loader` uses must outlive the model. Starts nothing.
    ProjectDetailViewModel(const CodexProject &project, ProjectListViewModel &coordinator,
                           DetailsLoader loader, QObject *parent = nullptr);
    // Stops a load still running and waits for it; its result is dropped.
    ~ProjectDetailViewModel() override;

    const QString &projectPath() const { return m_project.path(); }
    // The coordinator whose published values the pane's sections read (token usage).
    ProjectListViewModel &coordinator() const { return m_coordinator; }
    // The live project.
    const CodexProject &project() const { return m_project; }
    const std::optional<ProjectGitStatus> &gitStatus() const { return m_gitStatus; }
    // Absent until the first load has ended.
    const std::optional<ProjectDetailSnapshot> &details() const { return m_details; }
    // True from construction until a load has ended.
    bool isLoadingDetails() const { return m_isLoadingDetails; }
    const std::optional<QString> &statusMessage() const { return m_statusMessage; }
    // No Codex task works in any project.
    bool canRename() const { return m_canRename; }
    // The team values of the project's path; all absent until the model follows a team
    // source, and while no enabled team has them.
    const std::optional<TeamProjectUsageSummary> &teamUsage() const { return m_teamUsage; }
    const std::optional<TeamProjectSummary> &teamSummary() const { return m_teamSummary; }
    // What this device shares of the project (dirty or with Codex at work).
    const std::optional<SharedProjectState> &localActivity() const { return m_localActivity; }

    // Reads the team values from `source` now and again after `workspace` announces a change
    // of the teammates, their usage or this device's activity. Both must outlive the model.
    void followTeam(const TeamProjectViewSource &source, TeamWorkspaceService &workspace);

    // Loads the details in the background, then has the coordinator re-read the project's git
    // status even when its cached one is recent. A load started earlier is stopped, and its
    // result dropped should it still end; the details shown stay until the new ones arrive.
    void loadDetails();
    // The pane closed: a load still running is stopped and its result dropped.
    void close();

    // The actions of the pane. Their outcomes, failures included, arrive as the status
    // message.
    // The latest chat in Codex, or a new chat when the project has none.
    void openLatestChat();
    void startNewChat();
    void openChat(const QString &threadID);
    void revealInFileManager();
    void openTerminal();
    // `name` exactly as the user entered it; the coordinator checks it.
    void renameProject(const QString &name);
    void dismissStatusMessage();

Q_SIGNALS:
    // The live project changed (name, chats, branch, processing state, ...).
    void projectChanged();
    void gitStatusChanged();
    // The details or the loading flag changed.
    void detailsChanged();
    void statusMessageChanged();
    void canRenameChanged();
    // One or more of the team values changed.
    void teamValuesChanged();

private:
    void followProjects();
    void followGitStatus();
    void followStatus();
    void readTeamValues();

    ProjectListViewModel &m_coordinator;
    DetailsLoader m_loader;
    CodexProject m_project;
    std::optional<ProjectGitStatus> m_gitStatus;
    std::optional<ProjectDetailSnapshot> m_details;
    bool m_isLoadingDetails = true;
    std::optional<QString> m_statusMessage;
    bool m_canRename = true;
    const TeamProjectViewSource *m_teamSource = nullptr;
    std::optional<TeamProjectUsageSummary> m_teamUsage;
    std::optional<TeamProjectSummary> m_teamSummary;
    std::optional<SharedProjectState> m_localActivity;
    // The workspace announces a change before making it: the values are read a turn later,
    // once per burst of announcements.
    QueuedCall m_teamRead{this, [this] { readTeamValues(); }};
    // Raised by every load and by close(): a result of an earlier generation is dropped.
    quint64 m_loadGeneration = 0;
    WorkHandle m_load;

    // Last: destroyed first, stopping the load before anything it reports to goes.
    WorkGroup m_work{this};
};

} // namespace tolvaran
