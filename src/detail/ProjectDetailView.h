#pragma once

#include "detail/ProjectDetailTab.h"
#include "work/QueuedCall.h"

#include <QWidget>

#include <functional>
#include <utility>

class QScrollArea;
class QStackedWidget;

namespace tolvaran {

class BehindWarning;
class CommitList;
class DetailHeader;
class DetailStatusBanner;
class DetailTabBar;
class MarkdownFileBrowser;
class ProjectDetailViewModel;
class ProjectOverview;
class RecentChatList;
class TokenUsageSection;
class SharedWithTeamSection;
class TeamActivitySection;
class TeamUsageSection;

// The detail pane of one project: the header, the tab bar, the selected tab's content and,
// while there is a status message, the status banner. It shows its model's values and hands
// the user's requests to it.
//
// A change of the model updates the sections that show it, in place, once per turn of the
// event loop: the selected tab and each tab's scroll position stay as they are.
class ProjectDetailView final : public QWidget
{
    Q_OBJECT

public:
    // The Overview's sections, in their order. Each sits in a slot of its own, shown only
    // while its section has something to show.
    enum class OverviewSection {
        metrics,
        behindWarning,
        teamUsage,      // what each teammate spent on the project
        tokenUsage,     // the project's token usage
        sharedWithTeam, // what this device publishes of the project
        teamActivity,   // teammates on the same repository
    };

    static constexpr int columnMaximumWidth = 1180;
    static constexpr int columnPadding = 24;
    static constexpr int sectionSpacing = 24;

    // `model` must outlive the view. The first show starts the model's load.
    ProjectDetailView(ProjectDetailViewModel &model, std::function<void()> onClose,
                      QWidget *parent = nullptr);

    ProjectDetailViewModel &model() const { return m_model; }
    ProjectDetailTab selectedTab() const;
    void selectTab(ProjectDetailTab tab);

    DetailHeader *header() const { return m_header; }
    DetailTabBar *tabBar() const { return m_tabBar; }
    DetailStatusBanner *statusBanner() const { return m_banner; }
    CommitList *commitList() const { return m_commits; }
    RecentChatList *recentChatList() const { return m_chats; }
    ProjectOverview *overview() const { return m_overview; }
    BehindWarning *behindWarning() const { return m_behindWarning; }
    TokenUsageSection *tokenUsageSection() const { return m_tokenUsage; }
    MarkdownFileBrowser *markdownBrowser() const { return m_markdown; }
    TeamUsageSection *teamUsageSection() const { return m_teamUsage; }
    SharedWithTeamSection *sharedWithTeamSection() const { return m_sharedWithTeam; }
    TeamActivitySection *teamActivitySection() const { return m_teamActivity; }
    // The scroll area of a tab (none for the Markdown tab, which scrolls its own parts).
    QScrollArea *scrollArea(ProjectDetailTab tab) const;
    // The slot of one of the Overview's sections, for the sections that come later.
    QWidget *overviewSlot(OverviewSection section) const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum Part {
        projectPart = 1,
        gitStatusPart = 2,
        detailsPart = 4,
        statusPart = 8,
        teamPart = 16,
    };

    QWidget *makeOverviewTab();
    QWidget *makeMarkdownTab();
    QScrollArea *makeScrollColumn(const QList<QWidget *> &sections);
    void schedule(int parts);
    void showParts(int parts);

    ProjectDetailViewModel &m_model;
    std::function<void()> m_onClose;
    DetailHeader *m_header;
    DetailTabBar *m_tabBar;
    QStackedWidget *m_pages;
    ProjectOverview *m_overview;
    BehindWarning *m_behindWarning;
    QList<QWidget *> m_overviewSlots;
    TeamUsageSection *m_teamUsage;
    SharedWithTeamSection *m_sharedWithTeam;
    TeamActivitySection *m_teamActivity;
    CommitList *m_commits;
    RecentChatList *m_chats;
    TokenUsageSection *m_tokenUsage = nullptr;
    MarkdownFileBrowser *m_markdown = nullptr;
    QList<QScrollArea *> m_scrollAreas;
    QWidget *m_bannerDivider;
    DetailStatusBanner *m_banner;
    int m_pendingParts = 0;
    QueuedCall m_partsCall{this, [this] { showParts(std::exchange(m_pendingParts, 0)); }};
    // The chat rows are made when their tab shows (a project may have hundreds of chats); a
    // change while another tab shows only marks them stale.
    bool m_chatsStale = true;
    bool m_hasStarted = false;
};

} // namespace tolvaran
