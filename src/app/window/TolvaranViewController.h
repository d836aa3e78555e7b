#pragma once

#include "app/cards/BrowserCardModel.h"
#include "app/cards/ProjectCardActions.h"
#include "app/cards/RelativeTimeRedrawTimer.h"
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

class QCheckBox;
class QComboBox;
class QFrame;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace tolvaran {

class AppUpdateService;
class ClosureButton;
class ElidingLabel;
struct BrowserEmptyState;
class FolderPicker;
class ProjectCardGrid;
class ProjectListViewModel;
class SegmentedControl;
class TagSidebar;
class TeamProjectViewSource;
class TeamWorkspaceService;
class TokenUsageSparklineView;
class UpdateControl;

// The browser of all projects: the tag sidebar, a four-row header (title, search, token usage,
// list controls), the commit banner, the card grid, the pagination bar and the footer.
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

    static constexpr int sidebarWidth = 224;
    static constexpr int contentMinimumWidth = 320;
    static constexpr int headerHeight = 158;
    static constexpr int usageStripHeight = 32;
    static constexpr int scopeControlMinimumWidth = 250;
    static constexpr int teamFilterMaximumWidth = 130;
    static constexpr int commitBannerHeight = 48;
    static constexpr int paginationHeight = 42;
    static constexpr int footerHeight = 30;
    static constexpr int compactFooterHeight = 44;

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

    // The updater behind the update control of the title row (none: no control, the version
    // always shows) and the refresh button's update check; must outlive the controller.
    void setUpdater(AppUpdateService *updater);
    UpdateControl *updateControl() const { return m_updateControl; }

    // Where the cards read teammates, sharing teams and this device's shared state; none
    // shows no team values. The source must outlive the controller; whoever owns it calls
    // scheduleRender() when its values change.
    void setTeamViewSource(const TeamProjectViewSource *source);
    const TeamProjectViewSource *teamViewSource() const { return m_teamViews; }

    // Where the tag sidebar is: docked at the left (with its divider), floating over the
    // content, or out of the view tree.
    enum class SidebarPlacement { docked, floating, hidden };
    SidebarPlacement sidebarPlacement() const;

    bool usesCompactFooter() const { return m_usesCompactFooter; }
    bool usesCompactUpdateLabel() const { return m_usesCompactUpdateLabel; }

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
    // Tab follows reading order: header, sidebar, the cards in grid order, the paging bar.
    bool focusNextPrevChild(bool next) override;

private:
    void buildInterface();
    void buildSidebar();
    void buildHeader(QVBoxLayout *column);
    void buildCommitBanner(QVBoxLayout *column);
    void buildCollection(QVBoxLayout *column);
    void buildPagination(QVBoxLayout *column);
    void buildFooter(QVBoxLayout *column);
    void bindModels();
    void redrawRelativeTimes();

    void applyResponsivePresentation();
    void updateSidebarPresentation();
    void placeFloatingSidebar();
    void positionEmptyLabel();

    void schedulePass();
    void runPass();
    void render();
    void renderCards();
    // Configures again the cards of `paths` whose values changed, and nothing else.
    void renderChangedCards(const QSet<QString> &paths);
    BrowserEmptyState emptyState() const;
    void renderTokenUsage();
    void renderCommitBanner();
    void renderFooter();
    void renderTeamFilter();
    void renderTeamControl();
    void renderSidebar();
    void showBrowserOptions();

    // What one card's buttons and menus do; each action holds the controller weakly and
    // carries its own copy of the card's values.
    ProjectCardActions actions(const ProjectCardSnapshot &project);

    // The tag sidebar's requests and the tag dialogs.
    void addTagFromField(const QString &name);
    void renameTagFromMenu(const QUuid &tagID);
    void deleteTagFromMenu(const QUuid &tagID);
    void selectTag(const std::optional<QUuid> &tagID);
    void teamFilterChanged(int index);
    void dismissCommitNotification();
    void showTeams();
    void createNewProject();
    void toggleTagSidebar();

    // A closure for a button that calls `action` with the controller while it exists.
    std::function<void()> weakly(void (TolvaranViewController::*action)());
    void refreshEverything();
    void toggleArchived();
    void showPreviousPage();
    void showNextPage();

    ProjectListViewModel &m_viewModel;
    TeamWorkspaceService &m_teamService;
    FolderPicker &m_folderPicker;
    std::function<void(const QString &)> m_onOpenProject;
    std::function<void()> m_onShowTeams;
    AppUpdateService *m_updater = nullptr;

    QueuedCall m_pass{this, [this] { runPass(); }};
    bool m_fullRenderWanted = false;
    QSet<QString> m_changedCardPaths; // git statuses changed since the last pass
    qint64 m_cardModelBuildCount = 0;
    // The model each card of the page was last configured with, by project id.
    QHash<QString, BrowserCardModel> m_cardModels;
    const TeamProjectViewSource *m_teamViews = nullptr;

    QHBoxLayout *m_rootStack = nullptr;
    TagSidebar *m_sidebar = nullptr;
    QFrame *m_sidebarDivider = nullptr;
    bool m_sidebarUsesOverlay = false;
    // The coordinator's tag error as the last render or tag handler saw it: a change that no
    // handler saw (a save that failed later) is shown below the new-tag field.
    std::optional<QString> m_lastTagError;

    ClosureButton *m_sidebarToggle = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_versionLabel = nullptr;
    QLabel *m_countLabel = nullptr;
    ElidingLabel *m_usageTotalLabel = nullptr;
    ElidingLabel *m_usageTodayLabel = nullptr;
    ElidingLabel *m_usageHourLabel = nullptr;
    ElidingLabel *m_usageWeekLabel = nullptr;
    TokenUsageSparklineView *m_usageSparkline = nullptr;
    QLineEdit *m_searchField = nullptr;
    ClosureButton *m_addButton = nullptr;
    SegmentedControl *m_scopeControl = nullptr;
    QComboBox *m_scopeButton = nullptr;
    QComboBox *m_sortButton = nullptr;
    QCheckBox *m_archivedButton = nullptr;
    ClosureButton *m_optionsButton = nullptr;
    QHBoxLayout *m_titleRow = nullptr;
    UpdateControl *m_updateControl = nullptr;
    ClosureButton *m_refreshButton = nullptr;
    QComboBox *m_teamFilterButton = nullptr;
    ClosureButton *m_teamButton = nullptr;

    QWidget *m_commitBanner = nullptr;
    QLabel *m_commitTitle = nullptr;
    ElidingLabel *m_commitSubtitle = nullptr;
    ClosureButton *m_commitDismissButton = nullptr;

    ProjectCardGrid *m_collectionView = nullptr;
    QLabel *m_emptyLabel = nullptr;

    QLabel *m_paginationLabel = nullptr;
    QLabel *m_pageLabel = nullptr;
    ClosureButton *m_previousButton = nullptr;
    ClosureButton *m_nextButton = nullptr;
    QComboBox *m_pageSizeButton = nullptr;

    QWidget *m_footer = nullptr;
    ElidingLabel *m_footerLabel = nullptr;
    bool m_usesCompactFooter = false;
    bool m_usesCompactUpdateLabel = false;
    // Redraws the footer's and the cards' relative times while the window is shown.
    RelativeTimeRedrawTimer *m_relativeTimes = nullptr;
};

} // namespace tolvaran
