// The content under the dashboard's tab bar: the selected team's inline settings, its people,
// and the lists of its shared projects and recent commits.
#include "team_screens/TeamsDashboardView.h"

#include "platform/RelativeDateFormatter.h"
#include "team/presence/TeamPresenceService.h"
#include "team_screens/TeamInlineSettingsView.h"
#include "team_screens/TeamPeopleAccessView.h"
#include "team_screens/TeamScreenStyle.h"
#include "team_screens/TeamScreenTeam.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ElidingLabel.h"
#include "widgets/RoundedPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

// A titled box of a tab: the title with its symbol, then the content on the control
// background. Returns the content's column.
QVBoxLayout *dashboardSection(const QString &title, const QString &symbol, QWidget *parent,
                              QVBoxLayout *into)
{
    into->addWidget(TeamScreenStyle::headlineTitle(title, symbol, parent));
    auto *box = new RoundedPanel(TeamScreenStyle::boxCornerRadius, parent);
    box->setObjectName(QStringLiteral("dashboardSection"));
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(0);
    into->addWidget(box);
    return column;
}

QString listSignature(TeamDashboardTab tab, const TeamScreenTeam &team)
{
    QStringList parts;
    if (tab == TeamDashboardTab::projects) {
        parts = TeamDashboardLists::sortedSharedPaths(team.service().sharedProjectPaths());
    } else {
        const QList<TeamCommitEvent> commits =
            TeamDashboardLists::shownCommits(team.service().recentCommits());
        for (const TeamCommitEvent &commit : commits)
            parts << commit.id << commit.subject << commit.memberName << commit.repositoryName
                  << QString::number(commit.committedAt);
    }
    return parts.join(QChar(0));
}

} // namespace

using namespace TeamScreenStyle;

void TeamsDashboardView::rebuildTabContent(TeamScreenTeam *team)
{
    m_shownTab = m_selectedTab;
    // A Tab stop of its own, from which the keys scroll a list that has no control to stop at.
    m_tabScroll->setAccessibleName(rawValue(m_selectedTab));
    m_shownListSignature.clear();
    m_tabListLayout.clear();
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("tabContent"));
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(10);
    switch (m_selectedTab) {
    case TeamDashboardTab::settings:
        m_inlineSettings = new TeamInlineSettingsView(*team, content);
        column->addWidget(m_inlineSettings);
        break;
    case TeamDashboardTab::people: {
        QVBoxLayout *box = dashboardSection(QStringLiteral("People & Access"),
                                            QStringLiteral("person.2"), content, column);
        m_peopleAccess = new TeamPeopleAccessView(*team, content);
        box->addWidget(m_peopleAccess);
        break;
    }
    case TeamDashboardTab::projects:
        m_tabListLayout = dashboardSection(QStringLiteral("Shared Projects"),
                                           QStringLiteral("folder.badge.person.crop"), content,
                                           column);
        break;
    case TeamDashboardTab::commits:
        m_tabListLayout = dashboardSection(QStringLiteral("Recent Team Commits"),
                                           QStringLiteral("point.3.connected.trianglepath.dotted"),
                                           content, column);
        break;
    }
    column->addStretch();
    // The old content goes now, and a call its screen still runs with it.
    delete m_tabContent.data();
    m_tabPage->addWidget(content, 1);
    content->show();
    m_tabContent = content;
    renderTabLists(team);
}

void TeamsDashboardView::renderTabLists(TeamScreenTeam *team)
{
    if (!m_tabListLayout)
        return;
    const QString signature = listSignature(m_selectedTab, *team);
    // The commit times are relative to now, so a list is redrawn at every render even when
    // its commits are the same.
    if (signature == m_shownListSignature && m_selectedTab == TeamDashboardTab::projects
        && m_tabListLayout->count() > 0)
        return;
    m_shownListSignature = signature;
    while (QLayoutItem *item = m_tabListLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    QWidget *box = m_tabListLayout->parentWidget();
    const auto emptyText = [&](const QString &text) {
        QLabel *label = plainLabel(box, text);
        label->setObjectName(QStringLiteral("emptyListText"));
        label->setWordWrap(true);
        BrowserStyle::setTextColor(label, BrowserStyle::secondaryLabelColor(palette()));
        m_tabListLayout->addWidget(label);
    };

    if (m_selectedTab == TeamDashboardTab::projects) {
        const QStringList paths =
            TeamDashboardLists::sortedSharedPaths(team->service().sharedProjectPaths());
        if (paths.isEmpty())
            emptyText(QStringLiteral("Projects appear here automatically when another team "
                                     "device has the same Git repository."));
        for (const QString &path : paths) {
            auto *row = new QWidget(box);
            row->setObjectName(QStringLiteral("sharedProjectRow"));
            auto *line = new QHBoxLayout(row);
            line->setContentsMargins(0, 5, 0, 5);
            line->addWidget(symbolLabel(QStringLiteral("folder"), symbolSize, row,
                                        BrowserStyle::secondaryLabelColor(palette())),
                            0, Qt::AlignTop);
            auto *texts = new QVBoxLayout;
            texts->setSpacing(2);
            auto *name = new ElidingLabel(row);
            name->setText(TeamDashboardLists::lastPathComponent(path));
            texts->addWidget(name);
            auto *fullPath = new ElidingLabel(row);
            fullPath->setObjectName(QStringLiteral("sharedProjectPath"));
            BrowserStyle::systemFont(captionSize).apply(fullPath);
            fullPath->setElideMode(Qt::ElideMiddle);
            fullPath->setToolTipWhenCut(true);
            BrowserStyle::setTextColor(fullPath, BrowserStyle::secondaryLabelColor(palette()));
            fullPath->setText(path);
            texts->addWidget(fullPath);
            line->addLayout(texts, 1);
            m_tabListLayout->addWidget(row);
        }
        return;
    }

    const QList<TeamCommitEvent> commits =
        TeamDashboardLists::shownCommits(team->service().recentCommits());
    if (commits.isEmpty())
        emptyText(QStringLiteral("No recent commits reported."));
    const Timestamp now = Timestamp::now();
    for (const TeamCommitEvent &commit : commits) {
        auto *row = new QWidget(box);
        row->setObjectName(QStringLiteral("commitRow"));
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(0, 5, 0, 5);
        auto *texts = new QVBoxLayout;
        texts->setSpacing(2);
        auto *subject = new ElidingLabel(row);
        subject->setObjectName(QStringLiteral("commitSubject"));
        subject->setText(commit.subject);
        texts->addWidget(subject);
        auto *who = new ElidingLabel(row);
        BrowserStyle::systemFont(captionSize).apply(who);
        BrowserStyle::setTextColor(who, BrowserStyle::secondaryLabelColor(palette()));
        who->setText(commit.memberName + QStringLiteral(" in ") + commit.repositoryName);
        texts->addWidget(who);
        line->addLayout(texts, 1);
        QLabel *when = secondaryCaption(
            row, relativeDateText(Timestamp::fromMilliseconds(commit.committedAt), now));
        when->setObjectName(QStringLiteral("commitTime"));
        when->setWordWrap(false);
        line->addWidget(when, 0, Qt::AlignTop);
        m_tabListLayout->addWidget(row);
    }
}

} // namespace tolvaran
