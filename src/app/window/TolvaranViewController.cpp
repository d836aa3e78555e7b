#include "app/window/TolvaranViewController.h"

#include "app/cards/BrowserEmptyState.h"
#include "app/cards/CardModelBuilder.h"
#include "app/cards/CardReconciliation.h"
#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "app/cards/ReadingOrderFocus.h"
#include "app/cards/WeeklyAllowanceLabel.h"
#include "app/tags/TagSidebar.h"
#include "app/window/BrowserCardActions.h"
#include "app/window/BrowserHeader.h"
#include "app/window/BrowserWidgets.h"
#include "app/window/CommitBanner.h"
#include "app/window/PaginationBar.h"
#include "app/window/RefreshCommand.h"
#include "app/window/TeamButtonPresentation.h"
#include "app/window/TokenUsageStrip.h"
#include "coordinator/ProjectListViewModel.h"
#include "team_interface/TeamWorkspaceService.h"
#include "widgets/BrowserStyle.h"
#include "widgets/FontScale.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace tolvaran {

TolvaranViewController::TolvaranViewController(
    ProjectListViewModel &viewModel, TeamWorkspaceService &teamWorkspace,
    FolderPicker &folderPicker, std::function<void(const QString &)> onOpenProject,
    QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_teamService(teamWorkspace)
    , m_folderPicker(folderPicker)
    , m_cardActions(new BrowserCardActions(viewModel, std::move(onOpenProject), this))
{
    setObjectName(QStringLiteral("browser"));
    buildInterface();
    m_tagSidebar->updatePlacement();
    bindBars();
    bindModels();
    scheduleRender();
}

TolvaranViewController::~TolvaranViewController()
{
    // Before the children go: the host deletes the sidebar while it is out of the view tree.
    delete std::exchange(m_tagSidebar, nullptr);
}

void TolvaranViewController::setOnOpenProject(std::function<void(const QString &)> onOpenProject)
{
    m_cardActions->setOnOpenProject(std::move(onOpenProject));
}

void TolvaranViewController::setOnShowTeams(std::function<void()> onShowTeams)
{
    m_onShowTeams = std::move(onShowTeams);
    scheduleRender();
}

void TolvaranViewController::focusTeamButton()
{
    QWidget *button = m_header->teamButton();
    if (button->isVisible()) {
        button->setFocus(Qt::OtherFocusReason);
        return;
    }
    connect(
        this, &TolvaranViewController::rendered, button,
        [button] {
            if (button->isVisible())
                button->setFocus(Qt::OtherFocusReason);
        },
        Qt::SingleShotConnection);
}

void TolvaranViewController::focusCardDetails(const QString &projectID)
{
    connect(
        this, &TolvaranViewController::rendered, this,
        [this, projectID] {
            const QStringList &shown = m_collectionView->identifiers();
            if (shown.contains(projectID)) {
                m_collectionView->focusItem(
                    projectID, [](ProjectCardView &card) { return card.detailsButton(); });
            } else if (!shown.isEmpty()) {
                m_collectionView->focusItem(shown.constFirst(), [](ProjectCardView &card) {
                    const QList<QWidget *> stops = ReadingOrderFocus::stops(&card);
                    return stops.isEmpty() ? nullptr : stops.constFirst();
                });
            } else {
                m_header->searchField()->setFocus(Qt::OtherFocusReason);
            }
        },
        Qt::SingleShotConnection);
    scheduleRender();
}

void TolvaranViewController::setTeamViewSource(const TeamProjectViewSource *source)
{
    m_teamViews = source;
    scheduleRender();
}

void TolvaranViewController::setUpdater(AppUpdateService *updater)
{
    m_updater = updater;
    m_header->setUpdater(updater);
}

UpdateControl *TolvaranViewController::updateControl() const
{
    return m_header->updateControl();
}

bool TolvaranViewController::usesCompactFooter() const
{
    return m_footer->isCompact();
}

bool TolvaranViewController::usesCompactUpdateLabel() const
{
    return m_header->usesCompactUpdateLabel();
}

// MARK: construction

void TolvaranViewController::buildInterface()
{
    m_rootStack = new QHBoxLayout(this);
    m_rootStack->setContentsMargins(0, 0, 0, 0);
    m_rootStack->setSpacing(0);

    m_tagSidebar = new TagSidebarHost(m_viewModel, *this, *m_rootStack, sidebarWidth,
                                      sidebarDockingWidth);

    auto *content = new QWidget(this);
    content->setObjectName(QStringLiteral("contentColumn"));
    FontScale::follow(content, [content] {
        content->setMinimumWidth(FontScale::scaled(contentMinimumWidth));
    });
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_column = column;
    // The bars above the cards, in one piece that can scroll with them; it keeps the window's
    // background wherever it is.
    m_topBars = new QWidget(content);
    m_topBars->setObjectName(QStringLiteral("topBars"));
    BrowserStyle::setBackgroundColor(m_topBars, palette().color(QPalette::Window));
    auto *topBars = new QVBoxLayout(m_topBars);
    topBars->setContentsMargins(0, 0, 0, 0);
    topBars->setSpacing(0);
    m_header = new BrowserHeader(m_topBars);
    m_tagSidebar->setToggle(m_header->sidebarToggle());
    topBars->addWidget(m_header);
    topBars->addWidget(BrowserWidgets::horizontalSeparator(m_topBars));
    m_commitBanner = new CommitBanner(m_topBars);
    topBars->addWidget(m_commitBanner);
    column->addWidget(m_topBars);
    buildCollection(column);
    column->addWidget(BrowserWidgets::horizontalSeparator(this));
    m_paginationBar = new PaginationBar(this);
    column->addWidget(m_paginationBar);
    column->addWidget(BrowserWidgets::horizontalSeparator(this));
    m_footer = new BrowserFooter(this);
    column->addWidget(m_footer);

    m_rootStack->addWidget(m_tagSidebar->sidebar());
    m_rootStack->addWidget(m_tagSidebar->divider());
    m_rootStack->addWidget(content, 1);
    FontScale::follow(this, [this] {
        m_tagSidebar->sidebar()->setFixedWidth(FontScale::scaled(sidebarWidth));
        applyResponsivePresentation();
    });
}

void TolvaranViewController::buildCollection(QVBoxLayout *column)
{
    m_collectionView = new ProjectCardGrid(this);
    m_collectionView->setObjectName(QStringLiteral("collectionView"));
    BrowserStyle::setBackgroundColor(m_collectionView->viewport(),
                                     BrowserStyle::underPageBackgroundColor(palette()));
    m_collectionView->viewport()->installEventFilter(this);
    // Cards are configured from the models the last render stored, never from the coordinator
    // directly, so a card always shows what the render decided.
    m_collectionView->setItemProvider([this](ProjectCardView &card, const QString &id) {
        const auto model = m_cardModels.constFind(id);
        if (model == m_cardModels.constEnd())
            return;
        card.configure(*model, m_cardActions->forProject(model->project));
    });

    m_emptyLabel = BrowserWidgets::label(
        m_collectionView->viewport(), QStringLiteral("emptyLabel"),
        BrowserStyle::systemFont(14, QFont::Medium), BrowserStyle::secondaryLabelColor(palette()));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setWordWrap(true);
    m_emptyLabel->hide();

    column->addWidget(m_collectionView, 1);
}

void TolvaranViewController::bindBars()
{
    // Every request writes one of the coordinator's (or the team workspace's) values or calls
    // one of its operations; the change announcement brings the render that shows the result.
    ProjectListViewModel &model = m_viewModel;
    connect(m_header, &BrowserHeader::refreshRequested, this,
            [this] { runRefreshCommand(m_viewModel, m_updater); });
    connect(m_header, &BrowserHeader::teamsRequested, this, [this] {
        if (m_onShowTeams)
            m_onShowTeams();
    });
    connect(m_header, &BrowserHeader::sidebarToggleRequested, this,
            [&model] { model.setTagSidebarVisible(!model.isTagSidebarVisible()); });
    connect(m_header, &BrowserHeader::newProjectRequested, this,
            [this] { m_viewModel.createNewProject(m_folderPicker); });
    connect(m_header, &BrowserHeader::optionsMenuRequested, this, [this] {
        m_header->showOptionsMenu(m_viewModel.includeArchived(), m_viewModel.sortMode());
    });
    connect(m_header, &BrowserHeader::searchEdited, &model, &ProjectListViewModel::setSearchText);
    connect(m_header, &BrowserHeader::scopeChosen, &model, &ProjectListViewModel::setScopeFilter);
    connect(m_header, &BrowserHeader::sortChosen, &model, &ProjectListViewModel::setSortMode);
    connect(m_header, &BrowserHeader::teamFilterChosen, &model,
            &ProjectListViewModel::setTeamFilterID);
    connect(m_header, &BrowserHeader::includeArchivedChosen, this, [&model](bool include) {
        model.setIncludeArchived(include);
        model.refresh();
    });
    connect(m_commitBanner, &CommitBanner::dismissRequested, this,
            &TolvaranViewController::dismissCommitNotification);
    connect(m_paginationBar, &PaginationBar::previousPageRequested, &model,
            &ProjectListViewModel::showPreviousPage);
    connect(m_paginationBar, &PaginationBar::nextPageRequested, &model,
            &ProjectListViewModel::showNextPage);
    connect(m_paginationBar, &PaginationBar::pageSizeChosen, &model,
            &ProjectListViewModel::setPageSize);
}

void TolvaranViewController::bindModels()
{
    m_relativeTimes = new RelativeTimeRedrawTimer(this);
    connect(m_relativeTimes, &RelativeTimeRedrawTimer::redrawNeeded, this,
            &TolvaranViewController::redrawRelativeTimes);
    // The receiver context ends the connection with the controller; the render itself is
    // queued, so nothing renders inside an announcement. One folder's git status redraws its
    // card alone; every other change, a whole pass (which reconfigures only changed cards).
    for (const auto changed :
         {&ProjectListViewModel::listCriteriaChanged, &ProjectListViewModel::projectsChanged,
          &ProjectListViewModel::gitStatusesChanged, &ProjectListViewModel::tokenUsageChanged,
          &ProjectListViewModel::tagsChanged, &ProjectListViewModel::statusChanged,
          &ProjectListViewModel::teamValuesChanged}) {
        connect(&m_viewModel, changed, this, &TolvaranViewController::scheduleRender);
    }
    connect(&m_viewModel, &ProjectListViewModel::gitStatusChanged, this,
            [this](const QString &path) {
                m_changedCardPaths.insert(path);
                schedulePass();
            });
}

void TolvaranViewController::scheduleRender()
{
    m_fullRenderWanted = true;
    schedulePass();
}

void TolvaranViewController::schedulePass()
{
    m_pass.schedule();
}

void TolvaranViewController::runPass()
{
    const QSet<QString> cardPaths = std::exchange(m_changedCardPaths, {});
    if (std::exchange(m_fullRenderWanted, false))
        render();
    else
        renderChangedCards(cardPaths);
}

// MARK: layout

void TolvaranViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyResponsivePresentation();
}

void TolvaranViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    applyResponsivePresentation();
    m_relativeTimes->setVisible(true);
}

void TolvaranViewController::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_relativeTimes->setVisible(false);
}

void TolvaranViewController::redrawRelativeTimes()
{
    m_footer->redrawRelativeTime();
    for (qsizetype index = 0; index < m_collectionView->identifiers().size(); ++index) {
        if (ProjectCardView *card = m_collectionView->cardAt(index))
            card->refreshRelativeTimes();
    }
}

bool TolvaranViewController::eventFilter(QObject *watched, QEvent *event)
{
    // The grid keeps its own layout in step with its viewport; the empty label is ours.
    if (m_collectionView && watched == m_collectionView->viewport()
        && event->type() == QEvent::Resize)
        positionEmptyLabel();
    return QWidget::eventFilter(watched, event);
}

bool TolvaranViewController::focusNextPrevChild(bool next)
{
    QWidget *current = QApplication::focusWidget();
    if (!current || !isAncestorOf(current))
        return QWidget::focusNextPrevChild(next);
    if (const std::optional<QList<QWidget *>> sidebarOnly = m_tagSidebar->focusChain())
        return ReadingOrderFocus::moveFocus(*sidebarOnly, current, next);
    // The grid keeps cards only for the rows in view and one beyond each edge: every other
    // item of the page stands in the chain for its card, which is made and scrolled into view
    // when Tab comes to it.
    struct Stop
    {
        QWidget *control = nullptr; // none: the card of `item`, not made yet
        qsizetype item = -1;
    };
    QList<Stop> chain;
    const auto addStops = [&chain](QWidget *region) {
        for (QWidget *control : ReadingOrderFocus::stops(region))
            chain.append({control});
    };
    addStops(m_header);
    addStops(m_commitBanner);
    addStops(m_tagSidebar->sidebar());
    const QStringList &items = m_collectionView->identifiers();
    for (qsizetype index = 0; index < items.size(); ++index) {
        if (ProjectCardView *card = m_collectionView->cardAt(index))
            addStops(card);
        else
            chain.append({nullptr, index});
    }
    addStops(m_paginationBar);
    addStops(m_footer);
    const qsizetype count = chain.size();
    if (count == 0)
        return false;

    qsizetype at = -1;
    for (QWidget *holder = current; holder && at < 0; holder = holder->parentWidget()) {
        for (qsizetype index = 0; index < count && at < 0; ++index) {
            if (chain[index].control == holder)
                at = index;
        }
    }
    const Stop &target = chain[at < 0 ? (next ? 0 : count - 1)
                                      : (at + (next ? 1 : count - 1)) % count];
    const Qt::FocusReason reason = next ? Qt::TabFocusReason : Qt::BacktabFocusReason;
    if (target.control) {
        target.control->setFocus(reason);
        return true;
    }
    // Entered from before it, a card takes the focus on its first control; from after it, on
    // its last.
    m_collectionView->focusItem(
        items.at(target.item),
        [next](ProjectCardView &card) -> QWidget * {
            const QList<QWidget *> stops = ReadingOrderFocus::stops(&card);
            if (stops.isEmpty())
                return nullptr;
            return next ? stops.constFirst() : stops.constLast();
        },
        reason);
    return true;
}

void TolvaranViewController::applyResponsivePresentation()
{
    m_tagSidebar->updatePlacement();
    // The thresholds are where the controls stop fitting, which moves with their text.
    const auto fits = [w = width()](int threshold) { return w >= FontScale::scaled(threshold); };
    BrowserHeader::Fit fit;
    fit.scopeSegments = fits(scopeSegmentsMinimumWidth);
    fit.sortControls = fits(sortControlsMinimumWidth);
    fit.sparkline = fits(sparklineMinimumWidth);
    fit.usageTotal = fits(usageTotalMinimumWidth);
    fit.fullUpdateLabel = fits(updateLabelFullWidth);
    m_header->fit(fit);
    m_footer->setCompact(!fits(sparklineMinimumWidth));
    placeTopBars();
}

void TolvaranViewController::placeTopBars()
{
    // The fixed bars are the window's own layout wherever they leave the cards their share of
    // the height; on a shorter window (large text on a small screen) those above the cards
    // scroll away with them, while the page bar and the status line stay.
    int barsHeight = m_topBars->sizeHint().height();
    for (int index = 0; index < m_column->count(); ++index) {
        QLayoutItem *item = m_column->itemAt(index);
        if (item->widget() != m_collectionView && item->widget() != m_topBars && !item->isEmpty())
            barsHeight += item->sizeHint().height();
    }
    const bool scroll = height() - barsHeight < cardListLeastShare * height();
    if (scroll == (m_collectionView->leadingWidget() == m_topBars))
        return;
    // Moving a widget takes the focus from it; the search field keeps what the user types.
    // Let go first: hidden as it moves, the control would hand the focus on to a card, and
    // the cards would scroll to it.
    QWidget *focused = QApplication::focusWidget();
    if (focused && !m_topBars->isAncestorOf(focused))
        focused = nullptr;
    if (focused)
        focused->clearFocus();
    if (scroll) {
        m_column->removeWidget(m_topBars);
        m_collectionView->setLeadingWidget(m_topBars);
    } else {
        m_collectionView->setLeadingWidget(nullptr);
        m_column->insertWidget(0, m_topBars);
    }
    positionEmptyLabel();
    if (focused)
        focused->setFocus(Qt::OtherFocusReason);
}

TolvaranViewController::SidebarPlacement TolvaranViewController::sidebarPlacement() const
{
    return m_tagSidebar->placement();
}

void TolvaranViewController::positionEmptyLabel()
{
    const QWidget *viewport = m_collectionView->viewport();
    // Below the bars, where they scroll with the cards.
    const QWidget *bars = m_collectionView->leadingWidget();
    const int top = bars ? std::max(0, bars->geometry().bottom() + 1) : 0;
    const int labelWidth = std::max(0, viewport->width() - 32);
    m_emptyLabel->setFixedWidth(labelWidth);
    m_emptyLabel->adjustSize();
    m_emptyLabel->move((viewport->width() - m_emptyLabel->width()) / 2,
                       top + (viewport->height() - top - m_emptyLabel->height()) / 2);
}

// MARK: render

void TolvaranViewController::render()
{
    m_tagSidebar->updatePlacement();
    renderHeader();
    m_commitBanner->setText(
        CommitBannerText::forNotifications(m_teamService.commitNotifications()));
    m_tagSidebar->render();
    renderCards();
    m_paginationBar->setPage(m_viewModel.paginationSummary(), m_viewModel.currentPage(),
                             m_viewModel.totalPages(), m_viewModel.pageSize());
    renderFooter();
    placeTopBars(); // the commit banner may have come or gone

    QList<Timestamp> shownDates;
    if (m_viewModel.lastRefreshedAt())
        shownDates.append(*m_viewModel.lastRefreshedAt());
    for (const ProjectCardSnapshot &project : m_viewModel.pagedProjects())
        shownDates.append(project.lastUpdated);
    m_relativeTimes->setShownDates(shownDates);

    if (const std::optional<QString> &text = emptyState().centreText) {
        m_emptyLabel->setText(*text);
        m_emptyLabel->show();
    } else {
        m_emptyLabel->hide();
    }
    positionEmptyLabel();
    Q_EMIT rendered();
}

void TolvaranViewController::renderHeader()
{
    m_header->setCounts(m_viewModel.filteredProjects().size(), m_viewModel.threadTotal());
    m_header->usageStrip()->setUsage(
        m_viewModel.globalTokenUsage(),
        weeklyAllowanceLabel(m_viewModel.tokenUsageSnapshot().weeklyAllowance));
    m_header->setCriteria(m_viewModel.searchText(), m_viewModel.scopeFilter(),
                          m_viewModel.sortMode(), m_viewModel.includeArchived());
    // A filter whose team is gone is returned to "all" by the coordinator itself.
    m_header->setTeamFilter(m_teamService.enabledTeams(), m_viewModel.teamFilterID());
    m_header->setRefreshEnabled(!m_viewModel.isLoading());

    // Without a membership the button would invite the user to add or join a team, which
    // needs the teams' screens.
    const bool hasMemberships = m_teamService.hasTeamMemberships();
    std::optional<TeamButtonPresentation> teamButton;
    if (hasMemberships || m_onShowTeams) {
        teamButton = TeamButtonPresentation::forWorkspace(
            hasMemberships, m_teamService.teamName(), m_teamService.connectionState());
    }
    m_header->setTeamButton(teamButton);
}

void TolvaranViewController::renderCards()
{
    QList<BrowserCardModel> models = pageCardModels(m_viewModel, m_teamViews);
    m_cardModelBuildCount += models.size();
    CardReconciliation result = CardReconciliation::reconcile(
        m_cardModels, m_collectionView->identifiers(), std::move(models));
    // Stored before the grid is touched: every card it configures from here on reads the new
    // models through the item provider.
    m_cardModels = std::move(result.models);
    if (result.replacesContents)
        m_collectionView->replaceItems(result.identifiers);
    else if (!result.reloadedIndexes.isEmpty())
        m_collectionView->reloadItems(result.reloadedIndexes);
}

void TolvaranViewController::renderChangedCards(const QSet<QString> &paths)
{
    const QStringList &shown = m_collectionView->identifiers();
    const QList<ProjectCardSnapshot> &page = m_viewModel.pagedProjects();
    QList<qsizetype> reloaded;
    std::optional<bool> canRename;
    for (const QString &path : paths) {
        const qsizetype index = shown.indexOf(path);
        // A card not on the page shows nothing of the change; the page itself has not
        // changed (that would have asked for a whole pass).
        if (index < 0 || index >= page.size() || page[index].id != path)
            continue;
        if (!canRename)
            canRename = cardsCanRename(m_viewModel);
        BrowserCardModel model = cardModel(m_viewModel, m_teamViews, page[index], *canRename);
        ++m_cardModelBuildCount;
        const auto stored = m_cardModels.find(path);
        if (stored != m_cardModels.end() && *stored == model)
            continue;
        m_cardModels.insert(path, std::move(model));
        reloaded.append(index);
    }
    if (!reloaded.isEmpty()) {
        std::sort(reloaded.begin(), reloaded.end());
        m_collectionView->reloadItems(reloaded);
    }
    Q_EMIT rendered();
}

BrowserEmptyState TolvaranViewController::emptyState() const
{
    return BrowserEmptyState::decide(m_viewModel.errorMessage(), m_viewModel.isLoading(),
                                     !m_viewModel.projects().isEmpty(),
                                     !m_viewModel.filteredProjects().isEmpty());
}

void TolvaranViewController::renderFooter()
{
    BrowserFooter::Status status;
    status.shownProjects = m_viewModel.filteredProjects().size();
    status.allProjects = m_viewModel.projects().size();
    status.pinnedProjects = m_viewModel.pinnedProjectCount();
    status.unreadProjects = m_viewModel.notificationProjectCount();
    status.processingProjects = m_viewModel.processingProjectCount();
    status.tagName = m_viewModel.selectedTagName();
    status.refreshedAt = m_viewModel.lastRefreshedAt();
    // Nothing of teams while the user has none.
    if (m_teamService.hasTeamMemberships()) {
        status.teamConnection = m_teamService.teamName() + QStringLiteral(": ")
            + TeamButtonPresentation::connectionText(m_teamService.connectionState());
    }
    status.statusMessage = m_viewModel.statusMessage();
    status.error = emptyState().statusLineError;
    m_footer->setStatus(status);
}

// MARK: handlers

void TolvaranViewController::dismissCommitNotification()
{
    const QList<TeamCommitEvent> notifications = m_teamService.commitNotifications();
    if (!notifications.isEmpty())
        m_teamService.dismissCommitNotification(notifications.first());
}

} // namespace tolvaran
