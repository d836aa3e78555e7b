#include "detail/ProjectDetailView.h"

#include "detail/sections/BehindWarning.h"
#include "detail/ColumnScrollArea.h"
#include "detail/sections/CommitList.h"
#include "detail/DetailHeader.h"
#include "detail/DetailStatusBanner.h"
#include "detail/DetailStyle.h"
#include "detail/DetailTabBar.h"
#include "detail/sections/MarkdownFileBrowser.h"
#include "detail/ProjectDetailViewModel.h"
#include "detail/ProjectOverview.h"
#include "detail/sections/RecentChatList.h"
#include "detail/sections/TokenUsageSection.h"
#include "detail/sections/SharedWithTeamSection.h"
#include "detail/sections/TeamActivitySection.h"
#include "detail/sections/TeamUsageSection.h"
#include "widgets/BrowserStyle.h"
#include "widgets/FocusInView.h"
#include "widgets/FontScale.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tolvaran {

namespace {
constexpr int headerHorizontalPadding = 20;
constexpr int headerVerticalPadding = 14;

// A column at most `maximumWidth` wide, centred in whatever width it is given.
QWidget *centredColumn(QWidget *column, int maximumWidth)
{
    auto *frame = new QWidget;
    column->setParent(frame);
    FontScale::follow(column, [column, maximumWidth] {
        column->setMaximumWidth(FontScale::scaled(maximumWidth));
    });
    auto *layout = new QHBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(0);
    layout->addWidget(column, 1);
    layout->addStretch(0);
    return frame;
}
} // namespace

ProjectDetailView::ProjectDetailView(ProjectDetailViewModel &model, std::function<void()> onClose,
                                     QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_onClose(std::move(onClose))
    , m_header(new DetailHeader)
    , m_tabBar(new DetailTabBar)
    , m_pages(new QStackedWidget)
    , m_overview(new ProjectOverview)
    , m_behindWarning(new BehindWarning)
    , m_teamUsage(new TeamUsageSection)
    , m_sharedWithTeam(new SharedWithTeamSection)
    , m_teamActivity(new TeamActivitySection)
    , m_commits(new CommitList)
    , m_chats(new RecentChatList)
    , m_banner(new DetailStatusBanner)
{
    setObjectName(QStringLiteral("projectDetail"));
    auto *headerFrame = new QWidget;
    auto *headerLayout = new QVBoxLayout(headerFrame);
    headerLayout->setContentsMargins(headerHorizontalPadding, headerVerticalPadding,
                                     headerHorizontalPadding, headerVerticalPadding);
    headerLayout->addWidget(m_header);

    // The tab bar scrolls sideways, without scroll bars, when the pane is narrower than it.
    auto *tabScroll = new QScrollArea;
    tabScroll->setObjectName(QStringLiteral("tabBarScroll"));
    tabScroll->setFrameShape(QFrame::NoFrame);
    tabScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tabScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tabScroll->setWidgetResizable(true);
    tabScroll->setWidget(m_tabBar);
    FontScale::follow(tabScroll, [tabScroll, bar = m_tabBar] {
        tabScroll->setFixedHeight(bar->sizeHint().height());
    });
    tabScroll->setFocusPolicy(Qt::NoFocus);
    keepFocusInView(tabScroll);

    m_pages->addWidget(makeOverviewTab());
    // In the order they show: each joins the end of the window's Tab order.
    overviewSlot(OverviewSection::teamUsage)->layout()->addWidget(m_teamUsage);
    m_tokenUsage = new TokenUsageSection(m_model.coordinator(), m_model.projectPath());
    overviewSlot(OverviewSection::tokenUsage)->layout()->addWidget(m_tokenUsage);
    overviewSlot(OverviewSection::tokenUsage)->show();
    overviewSlot(OverviewSection::sharedWithTeam)->layout()->addWidget(m_sharedWithTeam);
    overviewSlot(OverviewSection::teamActivity)->layout()->addWidget(m_teamActivity);
    m_pages->addWidget(makeScrollColumn({m_commits}));
    m_pages->addWidget(makeScrollColumn({m_chats}));
    m_pages->addWidget(makeMarkdownTab());
    BrowserStyle::setBackgroundColor(m_pages,
                                     BrowserStyle::underPageBackgroundColor(palette()));

    m_bannerDivider = DetailStyle::divider(this);
    m_bannerDivider->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(headerFrame);
    layout->addWidget(DetailStyle::divider(this));
    layout->addWidget(tabScroll);
    layout->addWidget(DetailStyle::divider(this));
    layout->addWidget(m_pages, 1);
    layout->addWidget(m_bannerDivider);
    layout->addWidget(m_banner);

    // Reading order for the keyboard: the header's controls, then the tabs.
    QList<QWidget *> chain = m_header->controls();
    for (DetailTabButton *button : m_tabBar->buttons())
        chain.append(button);
    for (qsizetype index = 1; index < chain.size(); ++index)
        QWidget::setTabOrder(chain.at(index - 1), chain.at(index));

    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    // The whole window's: the pane is its only screen while shown, and focus may be nowhere yet.
    escape->setContext(Qt::WindowShortcut);
    auto close = [this] {
        if (m_onClose)
            m_onClose();
    };
    connect(escape, &QShortcut::activated, this, close);
    connect(m_header, &DetailHeader::backRequested, this, close);
    connect(m_tabBar, &DetailTabBar::tabSelected, this, &ProjectDetailView::selectTab);

    connect(m_header, &DetailHeader::renameRequested, &m_model,
            &ProjectDetailViewModel::renameProject);
    connect(m_header, &DetailHeader::lastChatRequested, &m_model,
            &ProjectDetailViewModel::openLatestChat);
    connect(m_header, &DetailHeader::newChatRequested, &m_model,
            &ProjectDetailViewModel::startNewChat);
    connect(m_header, &DetailHeader::fileManagerRequested, &m_model,
            &ProjectDetailViewModel::revealInFileManager);
    connect(m_header, &DetailHeader::terminalRequested, &m_model,
            &ProjectDetailViewModel::openTerminal);
    connect(m_chats, &RecentChatList::chatChosen, &m_model, &ProjectDetailViewModel::openChat);
    connect(m_banner, &DetailStatusBanner::dismissRequested, &m_model,
            &ProjectDetailViewModel::dismissStatusMessage);

    connect(&m_model, &ProjectDetailViewModel::projectChanged, this,
            [this] { schedule(projectPart); });
    connect(&m_model, &ProjectDetailViewModel::canRenameChanged, this,
            [this] { schedule(projectPart); });
    connect(&m_model, &ProjectDetailViewModel::gitStatusChanged, this,
            [this] { schedule(gitStatusPart); });
    connect(&m_model, &ProjectDetailViewModel::detailsChanged, this,
            [this] { schedule(detailsPart); });
    connect(&m_model, &ProjectDetailViewModel::statusMessageChanged, this,
            [this] { schedule(statusPart); });
    connect(&m_model, &ProjectDetailViewModel::teamValuesChanged, this,
            [this] { schedule(teamPart); });
    showParts(projectPart | gitStatusPart | detailsPart | statusPart | teamPart);
}

ProjectDetailTab ProjectDetailView::selectedTab() const
{
    return m_tabBar->selectedTab();
}

void ProjectDetailView::selectTab(ProjectDetailTab tab)
{
    m_tabBar->setSelectedTab(tab);
    m_pages->setCurrentIndex(int(projectDetailTabs().indexOf(tab)));
    if (tab == ProjectDetailTab::chats && m_chatsStale) {
        m_chatsStale = false;
        m_chats->setProject(m_model.project(), Timestamp::now());
    }
}

QScrollArea *ProjectDetailView::scrollArea(ProjectDetailTab tab) const
{
    const qsizetype index = projectDetailTabs().indexOf(tab);
    return index < m_scrollAreas.size() ? m_scrollAreas.at(index) : nullptr;
}

QWidget *ProjectDetailView::overviewSlot(OverviewSection section) const
{
    return m_overviewSlots.value(qsizetype(section));
}

void ProjectDetailView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_hasStarted) {
        m_hasStarted = true;
        m_model.loadDetails();
    }
}

QWidget *ProjectDetailView::makeOverviewTab()
{
    QList<QWidget *> sections;
    for (OverviewSection section :
         {OverviewSection::metrics, OverviewSection::behindWarning, OverviewSection::teamUsage,
          OverviewSection::tokenUsage, OverviewSection::sharedWithTeam,
          OverviewSection::teamActivity}) {
        QWidget *slot = nullptr;
        if (section == OverviewSection::metrics) {
            slot = m_overview;
        } else if (section == OverviewSection::behindWarning) {
            slot = m_behindWarning;
        } else {
            slot = new QWidget;
            auto *slotLayout = new QVBoxLayout(slot);
            slotLayout->setContentsMargins(0, 0, 0, 0);
        }
        slot->hide();
        m_overviewSlots.append(slot);
        sections.append(slot);
    }
    m_overview->show();
    return makeScrollColumn(sections);
}

QWidget *ProjectDetailView::makeMarkdownTab()
{
    m_markdown = new MarkdownFileBrowser;
    return m_markdown;
}

QScrollArea *ProjectDetailView::makeScrollColumn(const QList<QWidget *> &sections)
{
    auto *column = new QWidget;
    auto *columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(columnPadding, columnPadding, columnPadding, columnPadding);
    columnLayout->setSpacing(sectionSpacing);
    for (QWidget *section : sections)
        columnLayout->addWidget(section);
    columnLayout->addStretch(1);

    auto *scroll = new ColumnScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    QWidget *content = centredColumn(column, columnMaximumWidth + 2 * columnPadding);
    content->setAutoFillBackground(false);
    scroll->setWidget(content);
    scroll->viewport()->setAutoFillBackground(false);
    m_scrollAreas.append(scroll);
    return scroll;
}

void ProjectDetailView::schedule(int parts)
{
    m_pendingParts |= parts;
    m_partsCall.schedule();
}

void ProjectDetailView::showParts(int parts)
{
    const CodexProject &project = m_model.project();
    const Timestamp now = Timestamp::now();
    if (parts & projectPart) {
        m_header->setProject(project.name(), project.path());
        m_header->setRenameAllowed(m_model.canRename());
        m_chatsStale = selectedTab() != ProjectDetailTab::chats;
        if (!m_chatsStale)
            m_chats->setProject(project, now);
    }
    if (parts & (projectPart | gitStatusPart)) {
        const std::optional<ProjectGitStatus> &status = m_model.gitStatus();
        m_overview->setMetrics(overviewMetrics(project, status, now));
        const bool behind = status && status->behindCount >= 1;
        if (behind)
            m_behindWarning->setStatus(*status);
        m_behindWarning->setVisible(behind);
    }
    if (parts & detailsPart) {
        const std::optional<ProjectDetailSnapshot> &details = m_model.details();
        m_commits->setCommits(details ? std::optional(details->commits) : std::nullopt,
                              m_model.isLoadingDetails());
        m_markdown->setFiles(details ? std::optional(details->markdownFiles) : std::nullopt,
                             m_model.isLoadingDetails());
    }
    if (parts & statusPart) {
        m_banner->setMessage(m_model.statusMessage());
        m_bannerDivider->setVisible(m_model.statusMessage().has_value());
    }
    if (parts & teamPart) {
        if (const auto &usage = m_model.teamUsage())
            m_teamUsage->setSummary(*usage);
        overviewSlot(OverviewSection::teamUsage)->setVisible(m_model.teamUsage().has_value());
        if (const auto &activity = m_model.localActivity())
            m_sharedWithTeam->setActivity(*activity);
        overviewSlot(OverviewSection::sharedWithTeam)
            ->setVisible(m_model.localActivity().has_value());
        if (const auto &summary = m_model.teamSummary())
            m_teamActivity->setSummary(*summary, now);
        overviewSlot(OverviewSection::teamActivity)
            ->setVisible(m_model.teamSummary().has_value());
    }
}

} // namespace tolvaran
