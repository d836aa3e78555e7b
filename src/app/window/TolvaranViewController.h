#pragma once

#include "app/cards/BrowserCardModel.h"
#include "app/cards/ProjectCardActions.h"
#include "app/cards/RelativeTimeRedrawTimer.h"
#include "app/tags/TagSidebarHost.h"
#include "app/window/BrowserFooter.h"
#include "work/QueuedCall.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class QHBoxLayout;
class QLabel;
class QVBoxLayout;

namespace tolvaran {

class AppUpdateService;
class BrowserCardActions;
class BrowserHeader;
struct BrowserEmptyState;
class CommitBanner;
class FolderPicker;
class PaginationBar;
class ProjectCardGrid;
class ProjectListViewModel;
class TeamProjectViewSource;
class TeamWorkspaceService;
class UpdateControl;

// The browser of all projects: the tag sidebar, a four-row header (title, search, token usage,
// list controls), the commit banner, the card grid, the pagination bar and the footer. Each
// bar is a widget of its own that shows what it is given and reports what the user asks for;
// the controller composes them, decides what each shows and turns their requests into the
// coordinator's operations.
//
// It follows the coordinator: every change announcement schedules one render in a later turn
// of the event loop, so any number of changes within one turn cost one render, which brings
// every control in line with the coordinator's values. The card grid is reconciled rather
// than rebuilt: when the page's projects or their order changed, its contents are replaced
// and it scrolls to the top; otherwise only the cards whose BrowserCardModel changed are
// configured again, and the scroll position stays. Controls never change a view directly;
// each handler writes one of the coordinator's values, and the announcement brings the render.
// The layout adapts to the width: below the thresholds of the constants below, controls give
// way to compact stand-ins, the footer takes two lines and the sidebar floats over the cards.
// It adapts to the height too: where the fixed bars would leave the cards less than
// cardListLeastShare of it, the bars above the cards scroll with them, a scroll above the
// cards that were at the top (the first card, as the window opens).
class TolvaranViewController final : public QWidget
{
    Q_OBJECT

public:
    // Width thresholds of the responsive layout (pixels of the controller's own width at the
    // default text size; they grow with the text, FontScale).
    static constexpr int scopeSegmentsMinimumWidth = 720; // also the count label
    static constexpr int sparklineMinimumWidth = 700;     // also the one-line footer
    static constexpr int updateLabelFullWidth = 650;
    static constexpr int usageTotalMinimumWidth = 600;
    static constexpr int sortControlsMinimumWidth = 520; // the check box and sort pop-up
    static constexpr int sidebarDockingWidth = 930;
    // The least share of the browser's height the card list has before the bars above it
    // scroll away with the cards.
    static constexpr double cardListLeastShare = 0.5;

    static constexpr int sidebarWidth = 224;
    static constexpr int contentMinimumWidth = 320;
    static constexpr int footerHeight = BrowserFooter::footerHeight;
    static constexpr int compactFooterHeight = BrowserFooter::compactFooterHeight;

    // Builds the view and schedules the first render. `onOpenProject` receives a project's id
    // when the user opens its details. The team workspace and the folder picker (the "New
    // Project..." dialog) must outlive the controller.
    TolvaranViewController(ProjectListViewModel &viewModel, TeamWorkspaceService &teamWorkspace,
                           FolderPicker &folderPicker,
                           std::function<void(const QString &projectID)> onOpenProject,
                           QWidget *parent = nullptr);
    ~TolvaranViewController() override;

    void setOnOpenProject(std::function<void(const QString &projectID)> onOpenProject);
    // What the team button does: show the teams' screens. Without it, and without a team
    // membership, the button is not shown (there is nowhere to add or join a team).
    void setOnShowTeams(std::function<void()> onShowTeams);
    // Gives the focus to the team button, as the teams' screens close; hidden until the first
    // render, it takes the focus then.
    void focusTeamButton();
    // Gives the focus to the Details button of the project's card, scrolled into view, as
    // its detail pane closes; where the card is no longer on the page, to the first card, and
    // where the page has no card, to the search field. Decided after the next render, which
    // brings the page up to date.
    void focusCardDetails(const QString &projectID);

    // The updater behind the update control of the title row (none: no control, the version
    // always shows) and the refresh button's update check; must outlive the controller.
    void setUpdater(AppUpdateService *updater);
    UpdateControl *updateControl() const;

    // Where the cards read teammates, sharing teams and this device's shared state; none
    // shows no team values. The source must outlive the controller; whoever owns it calls
    // scheduleRender() when its values change.
    void setTeamViewSource(const TeamProjectViewSource *source);
    const TeamProjectViewSource *teamViewSource() const { return m_teamViews; }

    // Where the tag sidebar is: docked at the left (with its divider), floating over the
    // content, or out of the view tree.
    using SidebarPlacement = TagSidebarHost::Placement;
    SidebarPlacement sidebarPlacement() const;

    bool usesCompactFooter() const;
    bool usesCompactUpdateLabel() const;

    // The card grid.
    ProjectCardGrid *collectionView() const { return m_collectionView; }
    const RelativeTimeRedrawTimer &relativeTimeRedrawTimer() const { return *m_relativeTimes; }

    // Schedules one render in a later turn of the event loop, unless one is already waiting.
    void scheduleRender();

    // How many card models the renders have built so far (a whole pass builds one per card
    // of the page, a git status change one).
    qint64 cardModelBuildCount() const { return m_cardModelBuildCount; }

Q_SIGNALS:
    // After every render pass.
    void rendered();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Tab follows reading order: header, sidebar, the cards in grid order, the paging bar;
    // while the sidebar floats over them, its own controls alone. It reaches every card of
    // the page, those the grid has not made too: entered from before, the cards take the
    // focus on the first card's first control, from after, on the last card's last.
    bool focusNextPrevChild(bool next) override;

private:
    void buildInterface();
    void buildCollection(QVBoxLayout *column);
    void bindBars();
    void bindModels();
    void redrawRelativeTimes();

    void applyResponsivePresentation();
    // Puts the bars above the cards in the column, or, on a short window, into the grid.
    void placeTopBars();
    void positionEmptyLabel();

    void schedulePass();
    void runPass();
    void render();
    void renderHeader();
    void renderCards();
    // Configures again the cards of `paths` whose values changed, and nothing else.
    void renderChangedCards(const QSet<QString> &paths);
    BrowserEmptyState emptyState() const;
    void renderFooter();
    void dismissCommitNotification();

    ProjectListViewModel &m_viewModel;
    TeamWorkspaceService &m_teamService;
    FolderPicker &m_folderPicker;
    std::function<void()> m_onShowTeams;
    AppUpdateService *m_updater = nullptr;
    BrowserCardActions *m_cardActions; // a child

    QueuedCall m_pass{this, [this] { runPass(); }};
    bool m_fullRenderWanted = false;
    QSet<QString> m_changedCardPaths; // git statuses changed since the last pass
    qint64 m_cardModelBuildCount = 0;
    // The model each card of the page was last configured with, by project id.
    QHash<QString, BrowserCardModel> m_cardModels;
    const TeamProjectViewSource *m_teamViews = nullptr;

    QHBoxLayout *m_rootStack = nullptr;
    TagSidebarHost *m_tagSidebar = nullptr; // a child

    QVBoxLayout *m_column = nullptr;
    QWidget *m_topBars = nullptr; // the header and the commit banner
    BrowserHeader *m_header = nullptr;
    CommitBanner *m_commitBanner = nullptr;
    ProjectCardGrid *m_collectionView = nullptr;
    QLabel *m_emptyLabel = nullptr;
    PaginationBar *m_paginationBar = nullptr;
    BrowserFooter *m_footer = nullptr;
    // Redraws the footer's and the cards' relative times while the window is shown.
    RelativeTimeRedrawTimer *m_relativeTimes = nullptr;
};

} // namespace tolvaran
