#include "app/window/ContentView.h"

#include "app/window/TolvaranViewController.h"
#include "coordinator/ProjectListViewModel.h"
#include "detail/DetailHeader.h"
#include "detail/ProjectDetailView.h"
#include "team_screens/TeamsDashboardView.h"
#include "update/AppUpdateService.h"

#include <QApplication>
#include <QVBoxLayout>
#include <QWindow>

namespace tolvaran {

ContentView::ContentView(ProjectListViewModel &viewModel, TeamWorkspaceService &teamWorkspace,
                         FolderPicker &folderPicker, ProjectDetailModelFactory detailModels,
                         QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_teamWorkspace(teamWorkspace)
    , m_folderPicker(folderPicker)
    , m_detailModels(std::move(detailModels))
    , m_layout(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("contentView"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    // A project that vanishes from the coordinator closes its pane, and one that comes back
    // opens it again; both are decided once per turn of the event loop.
    connect(&m_viewModel, &ProjectListViewModel::objectWillChange, this,
            &ContentView::scheduleContentChoice);
    chooseContent();
}

void ContentView::openProject(const QString &projectID)
{
    m_detailedProjectID = projectID;
    chooseContent();
}

void ContentView::closeProject()
{
    m_detailedProjectID.reset();
    chooseContent();
}

TolvaranViewController *ContentView::browser() const
{
    return m_screen == Screen::browser ? qobject_cast<TolvaranViewController *>(m_content.data())
                                       : nullptr;
}

ProjectDetailView *ContentView::detailView() const
{
    return m_screen == Screen::projectDetail ? qobject_cast<ProjectDetailView *>(m_content.data())
                                             : nullptr;
}

void ContentView::scheduleContentChoice()
{
    m_contentChoice.schedule();
}

void ContentView::setTeamScreens(TeamScreenWorkspace *workspace)
{
    m_teamScreens = workspace;
    if (TolvaranViewController *shown = browser())
        offerTeams(*shown);
    if (!workspace && m_isShowingTeams)
        closeTeams();
}

void ContentView::offerTeams(TolvaranViewController &browser)
{
    if (!m_teamScreens) {
        browser.setOnShowTeams({});
        return;
    }
    browser.setOnShowTeams([view = QPointer(this)] {
        if (view)
            view->showTeams();
    });
}

void ContentView::showTeams()
{
    if (!m_teamScreens)
        return;
    m_isShowingTeams = true;
    chooseContent();
}

void ContentView::closeTeams()
{
    m_isShowingTeams = false;
    chooseContent();
}

void ContentView::focusFirstControl()
{
    for (QWidget *next = m_content->nextInFocusChain(); next != m_content;
         next = next->nextInFocusChain()) {
        if (m_content->isAncestorOf(next) && next->isVisible() && next->isEnabled()
            && (next->focusPolicy() & Qt::TabFocus)) {
            next->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

bool ContentView::holdsFocus() const
{
    QWidget *focused = QApplication::focusWidget();
    return m_content && (m_content == focused || m_content->isAncestorOf(focused));
}

void ContentView::chooseContent()
{
    std::optional<CodexProject> project;
    if (m_detailedProjectID && !m_isShowingTeams)
        project = m_viewModel.project(*m_detailedProjectID);
    const Screen screen = m_isShowingTeams ? Screen::teams
                          : project        ? Screen::projectDetail
                                           : Screen::browser;
    const QString projectID = project ? project->path() : QString();
    if (m_content && screen == m_screen && projectID == m_shownProjectID)
        return;

    if (ProjectDetailView *pane = detailView())
        pane->model().close(); // a load still running is dropped, not shown later
    // A screen that goes with the focus would leave it on a hidden control, where keys do
    // nothing: the next screen takes it.
    const bool heldFocus = holdsFocus();
    const Screen left = m_screen;
    const QString leftProjectID = m_shownProjectID;
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->hide();
        // Ended in a later turn: the old screen may be running the handler that got us here
        // (the detail pane's Back button).
        QMetaObject::invokeMethod(
            this, [old = m_content] { delete old.data(); }, Qt::QueuedConnection);
    }
    m_screen = screen;
    m_shownProjectID = projectID;
    if (screen == Screen::teams) {
        m_content = new TeamsDashboardView(*m_teamScreens,
                                           [view = QPointer(this)] {
                                               if (view)
                                                   view->closeTeams();
                                           },
                                           this);
    } else if (project) {
        std::unique_ptr<ProjectDetailViewModel> model = m_detailModels(*project);
        auto *pane = new ProjectDetailView(*model,
                                           [view = QPointer(this)] {
                                               if (view)
                                                   view->closeProject();
                                           },
                                           this);
        // The model lives as long as its pane, which is deleted a turn after it is left.
        model.release()->setParent(pane);
        m_content = pane;
    } else {
        auto *browser = new TolvaranViewController(
            m_viewModel, m_teamWorkspace, m_folderPicker,
            [view = QPointer(this)](const QString &id) {
                if (view)
                    view->openProject(id);
            },
            this);
        browser->setTeamViewSource(m_teamViews);
        browser->setUpdater(m_updater);
        offerTeams(*browser);
        m_content = browser;
    }
    m_layout->addWidget(m_content);
    m_content->show();
    if (!heldFocus)
        return;
    // The teams' screen and the detail pane open on their first control, and give the focus
    // back to the button that opened them.
    if (screen == Screen::teams) {
        focusFirstControl();
    } else if (ProjectDetailView *pane = detailView()) {
        pane->header()->controls().constFirst()->setFocus(Qt::OtherFocusReason);
    } else if (TolvaranViewController *shown = browser()) {
        if (left == Screen::teams)
            shown->focusTeamButton();
        else if (left == Screen::projectDetail)
            shown->focusCardDetails(leftProjectID);
    }
}

void ContentView::setTeamViewSource(const TeamProjectViewSource *source)
{
    m_teamViews = source;
    if (TolvaranViewController *shown = browser())
        shown->setTeamViewSource(source);
}

void ContentView::setUpdater(AppUpdateService *updater)
{
    m_updater = updater;
    if (TolvaranViewController *shown = browser())
        shown->setUpdater(updater);
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Bring the window to the front once it exists, in a later turn (as a freshly shown
    // window may not be mapped yet).
    QMetaObject::invokeMethod(
        this,
        [view = QPointer(this)] {
            if (!view || !view->window()->isVisible())
                return;
            view->window()->raise();
            view->window()->activateWindow();
        },
        Qt::QueuedConnection);
    runLaunchTask();
}

void ContentView::runLaunchTask()
{
    // The team services start first, so their connections open while Codex's data still
    // loads; then the updater (a check at once, later ones on its own timer). Their own flags
    // and the coordinator's make a second run do nothing: the first full refresh, then its
    // monitors.
    if (m_teamStart)
        m_teamStart();
    if (m_updater)
        m_updater->start();
    if (!m_viewModel.isMonitoring())
        m_viewModel.startMonitoring();
}

} // namespace tolvaran
