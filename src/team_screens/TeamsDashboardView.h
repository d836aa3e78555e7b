#pragma once

#include "work/QueuedCall.h"
#include "team/server/TeamCallHandle.h"
#include "team_screens/TeamDashboardTab.h"

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QButtonGroup;
class QLabel;
class QListWidget;

class QPushButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

namespace tolvaran {

class TeamInlineSettingsView;
class TeamListSplit;
class TeamPeopleAccessView;
class TeamScreenTeam;
class TeamScreenWorkspace;
class TeamSettingsView;

// The team-management screen, shown in place of the browser: every team with its connection
// on the left; on the right the selected team's overview (name, connection, leave or delete,
// the people, shared-project and commit counts) and its tabs (settings, shared projects,
// people and access, recent commits). "Add Team" opens the join sheet over a pending profile,
// which is committed when the sheet saves and discarded when it closes; closed, the sheet
// gives the focus back to "Add Team".
//
// It fits a window of the program's least width at the default text size: the team list
// stands above the overview where the two do not fit side by side (TeamListSplit), the
// overview's figures, tabs and settings wrap onto further lines, and on a short overview its
// title, figures and tabs scroll away with the tab's content.
//
// The screen follows the workspace's changes, one render per event-loop turn. Escape cancels
// the operation the screen runs (a leave or delete, or a call of the shown tab), else closes
// the screen like the back button; closing the screen aborts what still runs. When the last
// membership has been given up, the screen closes itself.
class TeamsDashboardView final : public QWidget
{
    Q_OBJECT

public:
    // The workspace must outlive the view. `onClose` returns the window to the projects; it
    // may end the view (with deleteLater()).
    TeamsDashboardView(TeamScreenWorkspace &workspace, std::function<void()> onClose,
                       QWidget *parent = nullptr);
    ~TeamsDashboardView() override;

    TeamDashboardTab selectedTab() const { return m_selectedTab; }
    void selectTab(TeamDashboardTab tab);
    bool isTeamOperationRunning() const { return m_isTeamOperationRunning; }
    const std::optional<QString> &teamOperationError() const { return m_teamOperationError; }

    // The shown pieces, for the window's tests; null while not shown.
    TeamSettingsView *joinSheet() const;
    QMessageBox *removalAlert() const { return m_removalAlert; }
    QMessageBox *failureAlert() const { return m_failureAlert; }
    TeamInlineSettingsView *inlineSettings() const;
    TeamPeopleAccessView *peopleAccess() const;

    void addTeam();
    // Asks to leave or delete the team; nothing is sent before the alert's confirmation.
    void askToRemove(TeamScreenTeam *team);
    void removeTeam(TeamScreenTeam *team);
    void close();

    // The least share of the overview's height the tab's content has before the team's title,
    // figures and tabs above it scroll away with it.
    static constexpr double tabContentLeastShare = 0.5;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void scheduleRender();
    void render();
    void renderTeamList();
    void colorTeamRows();
    void renderOverview(TeamScreenTeam *team);
    void rebuildOverview(TeamScreenTeam *team);
    void rebuildTabContent(TeamScreenTeam *team);
    void renderTabLists(TeamScreenTeam *team);
    void renderTabBar();
    // Puts the team's title, figures and tabs above the tab's content, or, on a short
    // overview, into its scrolling area.
    void placeOverviewHead();
    void joinSheetSaved();
    void joinSheetClosed();
    void showFailureAlert();
    void cancelOrClose();

    TeamScreenWorkspace &m_workspace;
    std::function<void()> m_onClose;
    TeamDashboardTab m_selectedTab = TeamDashboardTab::settings;
    QPointer<TeamScreenTeam> m_editingTeam;
    bool m_isTeamOperationRunning = false;
    std::optional<QString> m_teamOperationError;
    TeamCallHandle m_removalCall;
    QMetaObject::Connection m_removalServiceGone;
    QueuedCall m_renderCall{this, [this] { render(); }};

    QPushButton *m_addTeamButton = nullptr;
    QListWidget *m_teamList = nullptr;
    TeamListSplit *m_split = nullptr;
    QStackedWidget *m_rightPane = nullptr;
    QWidget *m_placeholder = nullptr;
    QWidget *m_overview = nullptr;
    QWidget *m_overviewHead = nullptr; // the title, figures and tabs
    QVBoxLayout *m_tabPage = nullptr;  // what the tab's scrolling area scrolls
    QPointer<TeamScreenTeam> m_shownTeam;
    std::optional<TeamDashboardTab> m_shownTab;
    QStringList m_listedTeamRows; // what the list shows, to rebuild it only when it changes

    // Parts of the overview, made by rebuildOverview.
    QLabel *m_teamName = nullptr;
    QLabel *m_connectionDot = nullptr;
    QLabel *m_connectionLabel = nullptr;
    QPushButton *m_removeButton = nullptr;
    QLabel *m_peopleCount = nullptr;
    QLabel *m_projectsCount = nullptr;
    QLabel *m_commitsCount = nullptr;
    QButtonGroup *m_tabButtons = nullptr;
    QScrollArea *m_tabScroll = nullptr;
    QPointer<QWidget> m_tabContent;
    QPointer<QVBoxLayout> m_tabListLayout; // the projects' or commits' box
    QPointer<TeamInlineSettingsView> m_inlineSettings;
    QPointer<TeamPeopleAccessView> m_peopleAccess;
    QString m_shownListSignature;

    QPointer<TeamSettingsView> m_joinSheet;
    QPointer<QMessageBox> m_removalAlert;
    QPointer<QMessageBox> m_failureAlert;
};

} // namespace tolvaran
