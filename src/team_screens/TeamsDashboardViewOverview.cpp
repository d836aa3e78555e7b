// The selected team's overview in the dashboard: its title, figures and tabs, above the
// selected tab's content or, on a short overview, scrolling with it.
#include "team_screens/TeamsDashboardView.h"

#include "team/presence/TeamPresenceService.h"
#include "team_screens/TeamConnectionPresentation.h"
#include "team_screens/TeamMembershipFacts.h"
#include "team_screens/TeamScreenStyle.h"
#include "team_screens/TeamScreenTeam.h"
#include "widgets/AccessibleRole.h"
#include "widgets/BrowserStyle.h"
#include "widgets/FocusInView.h"
#include "widgets/FontScale.h"
#include "widgets/RoundedPanel.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"
#include "widgets/WrappingRowLayout.h"

#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

constexpr int tabHeight = 38;
constexpr int tileSpacing = 12;

QLabel *metricValueLabel(QWidget *parent)
{
    QLabel *label = TeamScreenStyle::plainLabel(
        BrowserStyle::monospacedDigitFont(TeamScreenStyle::title3Size, QFont::DemiBold), parent);
    return label;
}

// A figure tile of the overview.
RoundedPanel *metricTile(const QString &title, const QString &symbol, QLabel *&value,
                         QWidget *parent)
{
    auto *tile = new RoundedPanel(TeamScreenStyle::boxCornerRadius, parent);
    auto *row = new QHBoxLayout(tile);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);
    row->addWidget(TeamScreenStyle::symbolLabel(
        symbol, TeamScreenStyle::symbolSize + 4, tile,
        BrowserStyle::secondaryLabelColor(parent->palette())));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(1);
    value = metricValueLabel(tile);
    value->setObjectName(QStringLiteral("metricValue"));
    texts->addWidget(value);
    QLabel *caption = TeamScreenStyle::secondaryCaption(tile, title);
    caption->setWordWrap(false);
    texts->addWidget(caption);
    row->addLayout(texts);
    row->addStretch();
    return tile;
}

} // namespace

using namespace TeamScreenStyle;

void TeamsDashboardView::rebuildOverview(TeamScreenTeam *team)
{
    if (m_overview) {
        // Ended later: the old overview may be running the handler that got us here.
        m_rightPane->removeWidget(m_overview);
        m_overview->setParent(nullptr);
        m_overview->deleteLater();
    }
    m_shownTeam = team;
    m_shownTab.reset();
    // The old tab's content goes with the old overview, later.
    m_tabContent.clear();
    m_overview = new QWidget(m_rightPane);
    m_overview->setObjectName(QStringLiteral("teamOverview"));
    BrowserStyle::setBackgroundColor(m_overview,
                                     BrowserStyle::underPageBackgroundColor(palette()));
    m_overview->installEventFilter(this);
    auto *column = new QVBoxLayout(m_overview);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // The team's title, figures and tabs: above the tab's content, or scrolling with it.
    m_overviewHead = new QWidget(m_overview);
    m_overviewHead->setObjectName(QStringLiteral("overviewHead"));
    auto *head = new QVBoxLayout(m_overviewHead);
    head->setContentsMargins(0, 0, 0, 0);
    head->setSpacing(0);
    column->addWidget(m_overviewHead);

    auto *top = new QWidget(m_overviewHead);
    auto *topColumn = new QVBoxLayout(top);
    topColumn->setContentsMargins(20, 20, 20, 20);
    topColumn->setSpacing(16);
    auto *titleRow = new QHBoxLayout;
    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    m_teamName = plainLabel(BrowserStyle::systemFont(titleSize, QFont::DemiBold), top);
    m_teamName->setObjectName(QStringLiteral("overviewTeamName"));
    m_teamName->setWordWrap(true);
    titles->addWidget(m_teamName);
    auto *connectionRow = new QHBoxLayout;
    connectionRow->setSpacing(5);
    m_connectionDot = new QLabel(top);
    connectionRow->addWidget(m_connectionDot);
    m_connectionLabel = plainLabel(BrowserStyle::systemFont(subheadlineSize), top);
    m_connectionLabel->setObjectName(QStringLiteral("overviewConnection"));
    connectionRow->addWidget(m_connectionLabel);
    connectionRow->addStretch();
    titles->addLayout(connectionRow);
    titleRow->addLayout(titles, 1);
    m_removeButton = button(QString(), top);
    m_removeButton->setObjectName(QStringLiteral("removeTeamButton"));
    BrowserStyle::setTextColor(m_removeButton, SystemColors::red());
    connect(m_removeButton, &QPushButton::clicked, this, [this] {
        if (m_shownTeam)
            askToRemove(m_shownTeam);
    });
    titleRow->addWidget(m_removeButton, 0, Qt::AlignTop);
    topColumn->addLayout(titleRow);

    // The figures side by side, on further lines where the width does not hold them.
    auto *tiles = new WrappingRowLayout;
    tiles->setHorizontalSpacing(tileSpacing);
    tiles->setVerticalSpacing(tileSpacing);
    tiles->setFillsLines(true);
    tiles->addWidget(metricTile(QStringLiteral("People"), QStringLiteral("person.2"),
                                m_peopleCount, top));
    tiles->addWidget(metricTile(QStringLiteral("Shared Projects"),
                                QStringLiteral("folder.badge.person.crop"), m_projectsCount,
                                top));
    tiles->addWidget(metricTile(QStringLiteral("Recent Commits"),
                                QStringLiteral("point.3.connected.trianglepath.dotted"),
                                m_commitsCount, top));
    topColumn->addLayout(tiles);
    head->addWidget(top);
    head->addWidget(divider(m_overviewHead));

    auto *tabBar = new QWidget(m_overviewHead);
    tabBar->setObjectName(QStringLiteral("teamTabBar"));
    AccessibleRole::markAsTabList(tabBar);
    BrowserStyle::setBackgroundColor(tabBar, palette().color(QPalette::Window));
    // The tabs wrap to a further line where the width does not hold them.
    auto *tabRow = new WrappingRowLayout(tabBar);
    tabRow->setContentsMargins(16, 6, 16, 6);
    tabRow->setHorizontalSpacing(4);
    tabRow->setVerticalSpacing(4);
    m_tabButtons = new QButtonGroup(tabBar);
    m_tabButtons->setExclusive(true);
    for (TeamDashboardTab tab : allTeamDashboardTabs) {
        QPushButton *tabButton = button(rawValue(tab), tabBar, symbolName(tab));
        tabButton->setCheckable(true);
        tabButton->setFlat(true);
        AccessibleRole::markAsTab(tabButton);
        FontScale::follow(tabButton, [tabButton] {
            tabButton->setFixedHeight(FontScale::scaled(tabHeight));
        });
        BrowserStyle::systemFont(subheadlineSize + 1).apply(tabButton);
        m_tabButtons->addButton(tabButton, int(tab));
        connect(tabButton, &QPushButton::clicked, this, [this, tab] { selectTab(tab); });
        tabRow->addWidget(tabButton);
    }
    head->addWidget(tabBar);
    head->addWidget(divider(m_overviewHead));

    m_tabScroll = new QScrollArea(m_overview);
    keepFocusInView(m_tabScroll);
    m_tabScroll->setWidgetResizable(true);
    m_tabScroll->setFrameShape(QFrame::NoFrame);
    m_tabScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // What scrolls: the tab's content, below the head where that scrolls too.
    auto *page = new QWidget;
    m_tabPage = new QVBoxLayout(page);
    m_tabPage->setContentsMargins(0, 0, 0, 0);
    m_tabPage->setSpacing(0);
    m_tabScroll->setWidget(page);
    column->addWidget(m_tabScroll, 1);
    m_rightPane->addWidget(m_overview);
    m_rightPane->setCurrentWidget(m_overview);
}

bool TeamsDashboardView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_overview && event->type() == QEvent::Resize)
        placeOverviewHead();
    return QWidget::eventFilter(watched, event);
}

void TeamsDashboardView::placeOverviewHead()
{
    // The head is the overview's own layout wherever it leaves the tab's content its share of
    // the height; on a shorter (or narrower, where the figures and tabs wrap) overview it
    // scrolls away with the content, as the browser's bars do with the cards.
    const int height = m_overview->height();
    const int headHeight = m_overviewHead->heightForWidth(m_overview->width());
    const bool scroll = height - headHeight < tabContentLeastShare * height;
    const bool scrolls = m_tabPage->indexOf(m_overviewHead) >= 0;
    if (scroll == scrolls)
        return;
    // Moving a widget takes the focus from it.
    QWidget *focused = QApplication::focusWidget();
    if (focused && !m_overviewHead->isAncestorOf(focused))
        focused = nullptr;
    auto *column = static_cast<QVBoxLayout *>(m_overview->layout());
    if (scroll) {
        column->removeWidget(m_overviewHead);
        m_tabPage->insertWidget(0, m_overviewHead);
    } else {
        m_tabPage->removeWidget(m_overviewHead);
        column->insertWidget(0, m_overviewHead);
    }
    m_overviewHead->show();
    if (focused)
        focused->setFocus(Qt::OtherFocusReason);
}

void TeamsDashboardView::renderOverview(TeamScreenTeam *team)
{
    const TeamPresenceService &service = team->service();
    m_teamName->setText(service.teamName());
    const TeamConnectionState &state = service.connectionState();
    const QColor color = TeamConnectionPresentation::dashboardColor(state, palette());
    m_connectionDot->setPixmap(tintedSymbolIcon(QStringLiteral("circle.fill"), color)
                                   .pixmap(subheadlineSize, subheadlineSize));
    m_connectionLabel->setText(TeamConnectionPresentation::label(state));
    BrowserStyle::setTextColor(m_connectionLabel, color);

    const TeamMembershipFacts facts =
        TeamMembershipFacts::of(team->settings(), service.securityStatus());
    m_removeButton->setVisible(facts.canRemoveCurrentMembership());
    m_removeButton->setText(facts.removalDeletesTeam() ? QStringLiteral("Delete Team")
                                                       : QStringLiteral("Leave"));
    m_removeButton->setEnabled(!m_isTeamOperationRunning);

    const QLocale locale;
    m_peopleCount->setText(locale.toString(qlonglong(service.connectedPeople().size())));
    m_projectsCount->setText(locale.toString(qlonglong(service.sharedProjectPaths().size())));
    m_commitsCount->setText(locale.toString(qlonglong(service.recentCommits().size())));

    renderTabBar();
    if (m_shownTab != m_selectedTab || !m_tabContent)
        rebuildTabContent(team);
    else
        renderTabLists(team);
}

void TeamsDashboardView::renderTabBar()
{
    for (TeamDashboardTab tab : allTeamDashboardTabs) {
        QAbstractButton *tabButton = m_tabButtons->button(int(tab));
        const bool selected = tab == m_selectedTab;
        tabButton->setChecked(selected);
        BrowserStyle::systemFont(subheadlineSize + 1, selected ? QFont::DemiBold : QFont::Normal)
            .apply(tabButton);
        BrowserStyle::setSelectedLook(tabButton, selected);
    }
}

} // namespace tolvaran
