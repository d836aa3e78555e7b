#pragma once

#include "detail/ProjectDetailViewModel.h"
#include "work/QueuedCall.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QVBoxLayout;

namespace tolvaran {

class AppUpdateService;
class FolderPicker;
class ProjectDetailView;
class ProjectListViewModel;
class TeamProjectViewSource;
class TeamScreenWorkspace;
class TeamWorkspaceService;
class TolvaranViewController;

// The content of the window: the teams dashboard while the user has asked for it, else the
// detail pane of the project the user opened, while the coordinator still knows that project,
// else the browser. The open project is kept while the dashboard shows, so closing the
// dashboard returns to its pane. Leaving the browser ends its
// controller; coming back makes a new one, which renders the coordinator's current state.
// Each opening of a pane makes it a new model (`detailModels`), which lives as long as the
// pane; leaving the pane stops the model's work at once. The teams dashboard and the detail
// pane, opened in place of a screen that held the focus, take it on their first control, and
// give it back to the browser's control that opened them when they close: the team button,
// and the Details button of the project's card.
//
// The first time it is shown it starts the program's work, once per run: the teams'
// connections, the updater, then the coordinator's first full refresh and its monitors.
class ContentView final : public QWidget
{
    Q_OBJECT

public:
    enum class Screen { browser, projectDetail, teams };

    // The team workspace and the folder picker must outlive the view.
    ContentView(ProjectListViewModel &viewModel, TeamWorkspaceService &teamWorkspace,
                FolderPicker &folderPicker, ProjectDetailModelFactory detailModels,
                QWidget *parent = nullptr);

    const std::optional<QString> &detailedProjectID() const { return m_detailedProjectID; }
    // Shows the detail pane of the project with this id (its folder path) when the
    // coordinator knows it; the id is kept either way and chosen again on later changes.
    void openProject(const QString &projectID);
    void closeProject();

    // The teams the dashboard manages; must outlive the view. Until one is set, no dashboard
    // shows and the browsers have no way to it.
    void setTeamScreens(TeamScreenWorkspace *workspace);
    bool isShowingTeams() const { return m_isShowingTeams; }
    void showTeams();
    void closeTeams();

    Screen screen() const { return m_screen; }
    // The browser while it shows, else null.
    TolvaranViewController *browser() const;
    // The detail pane while it shows, else null.
    ProjectDetailView *detailView() const;

    // Where every browser this view shows reads the team values; must outlive the view.
    void setTeamViewSource(const TeamProjectViewSource *source);
    const TeamProjectViewSource *teamViewSource() const { return m_teamViews; }

    // The team workspace's start, the first step of the launch work (its own flag makes a
    // second call do nothing).
    void setTeamStart(std::function<void()> start) { m_teamStart = std::move(start); }

    // The updater of every browser's update control, started by the launch work before the
    // coordinator's; must outlive the view.
    void setUpdater(AppUpdateService *updater);
    AppUpdateService *updater() const { return m_updater; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void scheduleContentChoice();
    // Whether the focus is on the shown screen.
    bool holdsFocus() const;
    // Gives the focus to the shown screen's first control in the focus chain.
    void focusFirstControl();
    void offerTeams(TolvaranViewController &browser);
    void chooseContent();
    void runLaunchTask();

    ProjectListViewModel &m_viewModel;
    TeamWorkspaceService &m_teamWorkspace;
    const TeamProjectViewSource *m_teamViews = nullptr;
    AppUpdateService *m_updater = nullptr;
    std::function<void()> m_teamStart;
    FolderPicker &m_folderPicker;
    ProjectDetailModelFactory m_detailModels;
    TeamScreenWorkspace *m_teamScreens = nullptr;
    std::optional<QString> m_detailedProjectID;
    bool m_isShowingTeams = false;
    Screen m_screen = Screen::browser;
    // The project whose pane shows; a change of the chosen project replaces the pane.
    QString m_shownProjectID;
    QPointer<QWidget> m_content;
    QVBoxLayout *m_layout = nullptr;
    QueuedCall m_contentChoice{this, [this] { chooseContent(); }};
};

} // namespace tolvaran
