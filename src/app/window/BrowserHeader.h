#pragma once

#include "app/window/TeamButtonPresentation.h"
#include "data/catalog/ProjectListChoices.h"
#include "team_interface/TeamWorkspaceTeam.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace tolvaran {

class AppUpdateService;
class ClosureButton;
class SegmentedControl;
class TokenUsageStrip;
class UpdateControl;

// The browser's four-row header: the title row (title, version or update control, team
// button, refresh), the search field, the token usage strip (taller where it wraps, and the
// header with it), and the list controls (tag sidebar toggle, new project, scope, team
// filter, sort, archived chats, the options menu that stands in for the last two when narrow,
// and the counts).
//
// It shows what it is given and reports what the user asks for; it changes no value itself.
class BrowserHeader final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int headerHeight = 158;
    static constexpr int scopeControlMinimumWidth = 250;
    static constexpr int teamFilterMaximumWidth = 130;

    // Which controls the width leaves room for; the others give way to compact stand-ins.
    struct Fit
    {
        bool scopeSegments = true;  // else the scope pop-up, and no counts
        bool sortControls = true;   // else the options menu's button
        bool sparkline = true;
        bool usageTotal = true;
        bool fullUpdateLabel = true;
    };

    explicit BrowserHeader(QWidget *parent = nullptr);

    TokenUsageStrip *usageStrip() const { return m_usageStrip; }
    // The controls that open the teams' screen and show the tag sidebar, to which the focus
    // returns when those close.
    ClosureButton *teamButton() const { return m_teamButton; }
    QLineEdit *searchField() const { return m_searchField; }
    ClosureButton *sidebarToggle() const { return m_sidebarToggle; }
    // The updater behind the update control, which then joins the title row before the team
    // button; none removes it and shows the version.
    void setUpdater(AppUpdateService *updater);
    UpdateControl *updateControl() const { return m_updateControl; }
    bool usesCompactUpdateLabel() const { return m_compactUpdateLabel; }

    void setCounts(qint64 projects, qint64 chats);
    // The search field is written only while it does not have the focus, so never under the
    // user's fingers.
    void setCriteria(const QString &searchText, ProjectScopeFilter scope, ProjectSortMode sort,
                     bool includeArchived);
    // The team filter lists "All Projects", "Local Only" and the enabled teams, and is hidden
    // while none is; its items are rebuilt only when the ids change.
    void setTeamFilter(const QList<TeamWorkspaceTeam> &enabledTeams, const QString &chosenID);
    // None hides the team button.
    void setTeamButton(const std::optional<TeamButtonPresentation> &presentation);
    void setRefreshEnabled(bool enabled);
    void fit(const Fit &fit);
    // The options menu (archived chats and the sort modes, for narrow windows) below its
    // button, checked as the list is now.
    void showOptionsMenu(bool includeArchived, ProjectSortMode sortMode);

Q_SIGNALS:
    void refreshRequested();
    void teamsRequested();
    void sidebarToggleRequested();
    void newProjectRequested();
    void optionsMenuRequested();
    void searchEdited(const QString &text);
    void scopeChosen(ProjectScopeFilter scope);
    void sortChosen(ProjectSortMode sort);
    void teamFilterChosen(const QString &teamID);
    void includeArchivedChosen(bool include);

private:
    void buildTitleRow(QVBoxLayout *rows);
    // The design's height, and the room of the usage strip's further rows where it wraps.
    void updateHeight();
    void buildControlsRow(QVBoxLayout *rows);

    QHBoxLayout *m_titleRow = nullptr;
    QLabel *m_versionLabel = nullptr;
    UpdateControl *m_updateControl = nullptr;
    ClosureButton *m_teamButton = nullptr;
    ClosureButton *m_refreshButton = nullptr;
    ClosureButton *m_sidebarToggle = nullptr;
    QLineEdit *m_searchField = nullptr;
    TokenUsageStrip *m_usageStrip = nullptr;
    SegmentedControl *m_scopeControl = nullptr;
    QComboBox *m_scopeButton = nullptr;
    QComboBox *m_teamFilterButton = nullptr;
    QComboBox *m_sortButton = nullptr;
    QCheckBox *m_archivedButton = nullptr;
    ClosureButton *m_optionsButton = nullptr;
    QLabel *m_countLabel = nullptr;
    bool m_compactUpdateLabel = false;
};

} // namespace tolvaran
