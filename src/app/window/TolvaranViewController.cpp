#include "app/window/TolvaranViewController.h"

#include "app/cards/BrowserEmptyState.h"
#include "widgets/BrowserStyle.h"
#include "app/cards/CardModelBuilder.h"
#include "app/cards/CardReconciliation.h"
#include "widgets/ClosureButton.h"
#include "widgets/CompactNumberFormat.h"
#include "widgets/ElidingLabel.h"
#include "widgets/FontScale.h"
#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "app/cards/ReadingOrderFocus.h"
#include "app/window/RefreshCommand.h"
#include "widgets/SegmentedControl.h"
#include "widgets/SystemColors.h"
#include "app/tags/TagSidebar.h"
#include "app/window/TeamButtonPresentation.h"
#include "app/cards/TokenUsageSparklineView.h"
#include "app/window/UpdateControl.h"
#include "app/cards/WeeklyAllowanceLabel.h"
#include "coordinator/ProjectListViewModel.h"
#include "team_interface/TeamWorkspaceService.h"
#include "platform/RelativeDateFormatter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QResizeEvent>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tolvaran {

namespace {

template <typename Enum, std::size_t N>
int indexOf(const std::array<Enum, N> &cases, Enum value)
{
    const auto found = std::find(cases.begin(), cases.end(), value);
    return found == cases.end() ? -1 : int(found - cases.begin());
}

} // namespace

TolvaranViewController::TolvaranViewController(
    ProjectListViewModel &viewModel, TeamWorkspaceService &teamWorkspace,
    FolderPicker &folderPicker, std::function<void(const QString &)> onOpenProject,
    QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_teamService(teamWorkspace)
    , m_folderPicker(folderPicker)
    , m_onOpenProject(std::move(onOpenProject))
{
    setObjectName(QStringLiteral("browser"));
    buildInterface();
    updateSidebarPresentation();
    bindModels();
    scheduleRender();
}

TolvaranViewController::~TolvaranViewController()
{
    // The sidebar may float outside the layout or be out of the view tree altogether; either
    // way it is ours to delete.
    if (m_sidebar && m_sidebar->parent() != this)
        delete m_sidebar;
    if (m_sidebarDivider && m_sidebarDivider->parent() != this)
        delete m_sidebarDivider;
}

void TolvaranViewController::setOnOpenProject(std::function<void(const QString &)> onOpenProject)
{
    m_onOpenProject = std::move(onOpenProject);
}

void TolvaranViewController::setTeamViewSource(const TeamProjectViewSource *source)
{
    m_teamViews = source;
    scheduleRender();
}

void TolvaranViewController::setUpdater(AppUpdateService *updater)
{
    m_updater = updater;
    delete m_updateControl;
    m_updateControl = nullptr;
    m_versionLabel->show();
    if (!updater)
        return;
    // In the title row before the team button; it follows the updater by itself.
    m_updateControl = new UpdateControl(*updater, m_versionLabel, m_titleRow->parentWidget());
    m_titleRow->insertWidget(m_titleRow->indexOf(m_teamButton), m_updateControl, 0,
                             Qt::AlignVCenter);
    m_updateControl->setCompact(m_usesCompactUpdateLabel);
}

std::function<void()> TolvaranViewController::weakly(void (TolvaranViewController::*action)())
{
    return [controller = QPointer(this), action] {
        if (controller)
            (controller->*action)();
    };
}

// MARK: construction

void TolvaranViewController::buildInterface()
{
    m_rootStack = new QHBoxLayout(this);
    m_rootStack->setContentsMargins(0, 0, 0, 0);
    m_rootStack->setSpacing(0);

    buildSidebar();

    m_sidebarDivider = new QFrame(this);
    m_sidebarDivider->setObjectName(QStringLiteral("sidebarDivider"));
    m_sidebarDivider->setFrameShape(QFrame::VLine);
    m_sidebarDivider->setFrameShadow(QFrame::Plain);
    m_sidebarDivider->setFixedWidth(1);
    BrowserStyle::setTextColor(m_sidebarDivider,
                               BrowserStyle::tertiaryLabelColor(m_sidebarDivider->palette()));

    auto *content = new QWidget(this);
    content->setObjectName(QStringLiteral("contentColumn"));
    FontScale::follow(content, [content] {
        content->setMinimumWidth(FontScale::scaled(contentMinimumWidth));
    });
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildHeader(column);
    buildCommitBanner(column);
    buildCollection(column);
    buildPagination(column);
    buildFooter(column);

    m_rootStack->addWidget(m_sidebar);
    m_rootStack->addWidget(m_sidebarDivider);
    m_rootStack->addWidget(content, 1);
    FontScale::follow(this, [this] {
        m_sidebar->setFixedWidth(FontScale::scaled(sidebarWidth));
        applyResponsivePresentation();
    });
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
    renderFooter();
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
    QList<QWidget *> chain;
    const auto region = [this](const char *name) {
        return findChild<QWidget *>(QLatin1String(name));
    };
    chain << ReadingOrderFocus::stops(region("header"))
          << ReadingOrderFocus::stops(m_commitBanner) << ReadingOrderFocus::stops(m_sidebar);
    for (qsizetype index = 0; index < m_collectionView->identifiers().size(); ++index) {
        if (ProjectCardView *card = m_collectionView->cardAt(index))
            chain << ReadingOrderFocus::stops(card);
    }
    chain << ReadingOrderFocus::stops(region("paginationBar"))
          << ReadingOrderFocus::stops(m_footer);
    QWidget *current = QApplication::focusWidget();
    if (!current || !isAncestorOf(current))
        return QWidget::focusNextPrevChild(next);
    return ReadingOrderFocus::moveFocus(chain, current, next);
}

void TolvaranViewController::applyResponsivePresentation()
{
    updateSidebarPresentation();
    // The thresholds are where the controls stop fitting, which moves with their text.
    const auto narrowerThan = [w = width()](int threshold) {
        return w < FontScale::scaled(threshold);
    };
    m_scopeControl->setHidden(narrowerThan(scopeSegmentsMinimumWidth));
    m_scopeButton->setHidden(!narrowerThan(scopeSegmentsMinimumWidth));
    m_countLabel->setHidden(narrowerThan(scopeSegmentsMinimumWidth));
    m_usageSparkline->setHidden(narrowerThan(sparklineMinimumWidth));
    m_usageTotalLabel->setHidden(narrowerThan(usageTotalMinimumWidth));
    m_archivedButton->setHidden(narrowerThan(sortControlsMinimumWidth));
    m_sortButton->setHidden(narrowerThan(sortControlsMinimumWidth));
    m_optionsButton->setHidden(!narrowerThan(sortControlsMinimumWidth));

    const bool compactFooter = narrowerThan(sparklineMinimumWidth);
    m_footer->setFixedHeight(
        FontScale::scaled(compactFooter ? compactFooterHeight : footerHeight));
    if (compactFooter != m_usesCompactFooter) {
        m_usesCompactFooter = compactFooter;
        renderFooter();
    }
    const bool compactUpdateLabel = narrowerThan(updateLabelFullWidth);
    if (compactUpdateLabel != m_usesCompactUpdateLabel) {
        m_usesCompactUpdateLabel = compactUpdateLabel;
        if (m_updateControl)
            m_updateControl->setCompact(compactUpdateLabel);
    }
}

TolvaranViewController::SidebarPlacement TolvaranViewController::sidebarPlacement() const
{
    if (m_sidebar->parent() != this)
        return SidebarPlacement::hidden;
    return m_sidebarUsesOverlay ? SidebarPlacement::floating : SidebarPlacement::docked;
}

void TolvaranViewController::updateSidebarPresentation()
{
    const bool visible = m_viewModel.isTagSidebarVisible();
    const bool overlay = visible && width() < FontScale::scaled(sidebarDockingWidth);
    const bool docked = m_rootStack->indexOf(m_sidebar) >= 0;

    if (!visible) {
        m_sidebarUsesOverlay = false;
        m_sidebar->setGraphicsEffect(nullptr);
        if (docked) {
            m_rootStack->removeWidget(m_sidebar);
            m_rootStack->removeWidget(m_sidebarDivider);
        }
        // Out of the view tree; the destructor deletes them while they are.
        m_sidebar->hide();
        m_sidebar->setParent(nullptr);
        m_sidebarDivider->hide();
        m_sidebarDivider->setParent(nullptr);
        return;
    }

    if (overlay) {
        if (m_sidebarUsesOverlay && m_sidebar->parent() == this) {
            placeFloatingSidebar();
            return;
        }
        if (docked) {
            m_rootStack->removeWidget(m_sidebar);
            m_rootStack->removeWidget(m_sidebarDivider);
        }
        m_sidebarDivider->hide();
        m_sidebarDivider->setParent(nullptr);
        m_sidebar->setParent(this);
        auto *shadow = new QGraphicsDropShadowEffect(m_sidebar);
        shadow->setColor(QColor(0, 0, 0, qRound(0.28 * 255)));
        shadow->setOffset(2, 0);
        shadow->setBlurRadius(8);
        m_sidebar->setGraphicsEffect(shadow);
        m_sidebarUsesOverlay = true;
        placeFloatingSidebar();
        m_sidebar->show();
        m_sidebar->raise();
        return;
    }

    if (!docked || m_sidebarUsesOverlay) {
        m_sidebar->setGraphicsEffect(nullptr);
        if (m_sidebarUsesOverlay)
            m_sidebar->setParent(nullptr);
        m_rootStack->insertWidget(0, m_sidebar);
        m_rootStack->insertWidget(1, m_sidebarDivider);
        m_sidebar->show();
        m_sidebarDivider->show();
        m_sidebarUsesOverlay = false;
    }
}

void TolvaranViewController::placeFloatingSidebar()
{
    // Pinned to the view's leading, top and bottom edges, at its fixed width.
    m_sidebar->setGeometry(0, 0, FontScale::scaled(sidebarWidth), height());
}

void TolvaranViewController::positionEmptyLabel()
{
    const QWidget *viewport = m_collectionView->viewport();
    const int labelWidth = std::max(0, viewport->width() - 32);
    m_emptyLabel->setFixedWidth(labelWidth);
    m_emptyLabel->adjustSize();
    m_emptyLabel->move((viewport->width() - m_emptyLabel->width()) / 2,
                       (viewport->height() - m_emptyLabel->height()) / 2);
}

// MARK: render

void TolvaranViewController::render()
{
    updateSidebarPresentation();
    m_titleLabel->setText(QStringLiteral("Tolvaran"));
    m_countLabel->setText(QString::number(m_viewModel.filteredProjects().size())
                          + QStringLiteral(" projects  |  ")
                          + QString::number(m_viewModel.threadTotal()) + QStringLiteral(" chats"));
    renderTokenUsage();

    // Never under the user's fingers: the field is only written while they are elsewhere.
    if (!m_searchField->hasFocus() && m_searchField->text() != m_viewModel.searchText())
        m_searchField->setText(m_viewModel.searchText());
    const int scopeIndex = indexOf(allProjectScopeFilters, m_viewModel.scopeFilter());
    m_scopeControl->setSelectedSegment(scopeIndex);
    m_scopeButton->setCurrentIndex(scopeIndex);
    m_sortButton->setCurrentIndex(indexOf(allProjectSortModes, m_viewModel.sortMode()));
    renderTeamFilter();
    m_archivedButton->setChecked(m_viewModel.includeArchived());
    m_refreshButton->setEnabled(!m_viewModel.isLoading());

    renderTeamControl();
    renderCommitBanner();
    renderSidebar();
    renderCards();

    m_paginationLabel->setText(m_viewModel.paginationSummary());
    m_pageLabel->setText(QStringLiteral("Page ") + QString::number(m_viewModel.currentPage())
                         + QStringLiteral(" of ") + QString::number(m_viewModel.totalPages()));
    m_previousButton->setEnabled(m_viewModel.currentPage() > 1);
    m_nextButton->setEnabled(m_viewModel.currentPage() < m_viewModel.totalPages());
    m_pageSizeButton->setCurrentIndex(indexOf(allProjectPageSizes, m_viewModel.pageSize()));

    renderFooter();
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

void TolvaranViewController::renderTokenUsage()
{
    const TokenUsageReport report = m_viewModel.globalTokenUsage();
    const WeeklyAllowanceLabel week =
        weeklyAllowanceLabel(m_viewModel.tokenUsageSnapshot().weeklyAllowance);
    m_usageWeekLabel->setText(week.text);
    m_usageWeekLabel->setToolTip(week.toolTip);
    const QPalette &palette = m_usageWeekLabel->palette();
    QColor color = SystemColors::accent(palette);
    switch (week.tone) {
    case WeeklyAllowanceTone::waiting:
        color = BrowserStyle::secondaryLabelColor(palette);
        break;
    case WeeklyAllowanceTone::normal:
        break;
    case WeeklyAllowanceTone::warning:
        color = SystemColors::orange();
        break;
    case WeeklyAllowanceTone::critical:
        color = SystemColors::red();
        break;
    }
    BrowserStyle::setTextColor(m_usageWeekLabel, color);
    m_usageTotalLabel->setText(QStringLiteral("TOTAL  ") + compactTokens(report.lifetimeTokens));
    m_usageTodayLabel->setText(QStringLiteral("TODAY  ") + compactTokens(report.todayTokens));
    m_usageHourLabel->setText(QStringLiteral("1 HOUR  ") + compactTokens(report.lastHourTokens));
    QList<qint64> daily;
    daily.reserve(report.daily.size());
    for (const TokenUsagePoint &point : report.daily)
        daily.append(point.tokens);
    m_usageSparkline->setPoints(daily);
    m_usageSparkline->setToolTip(QStringLiteral("Daily token usage for the last 30 days"));
}

void TolvaranViewController::renderFooter()
{
    QString text = QString::number(m_viewModel.filteredProjects().size()) + QLatin1Char('/')
        + QString::number(m_viewModel.projects().size()) + QStringLiteral(" projects  |  ")
        + QString::number(m_viewModel.pinnedProjectCount()) + QStringLiteral(" pinned  |  ")
        + QString::number(m_viewModel.notificationProjectCount())
        + QStringLiteral(" unread  |  ") + QString::number(m_viewModel.processingProjectCount())
        + QStringLiteral(" processing");
    if (const std::optional<QString> tagName = m_viewModel.selectedTagName())
        text += QStringLiteral("  |  Tag: ") + *tagName;
    text += m_usesCompactFooter ? QStringLiteral("\nEvent updates  |  ")
                                : QStringLiteral("  |  Event-driven repository updates  |  ");
    if (const std::optional<Timestamp> &refreshedAt = m_viewModel.lastRefreshedAt())
        text += QStringLiteral("Refreshed ") + relativeDateText(*refreshedAt, Timestamp::now());
    else
        text += QStringLiteral("Not refreshed yet");
    // Nothing of teams while the user has none.
    if (m_teamService.hasTeamMemberships()) {
        text += QStringLiteral("  |  ") + m_teamService.teamName() + QStringLiteral(": ")
            + TeamButtonPresentation::connectionText(m_teamService.connectionState());
    }
    if (const std::optional<QString> &status = m_viewModel.statusMessage())
        text += QStringLiteral("  |  ") + *status;
    if (const std::optional<QString> &error = emptyState().statusLineError)
        text += QStringLiteral("  |  ") + *error;
    m_footerLabel->setText(text);
}

// MARK: actions

void TolvaranViewController::refreshEverything()
{
    runRefreshCommand(m_viewModel, m_updater);
}

void TolvaranViewController::showPreviousPage()
{
    m_viewModel.showPreviousPage();
}

void TolvaranViewController::showNextPage()
{
    m_viewModel.showNextPage();
}

void TolvaranViewController::toggleArchived()
{
    m_viewModel.setIncludeArchived(!m_viewModel.includeArchived());
    m_viewModel.refresh();
}

void TolvaranViewController::showBrowserOptions()
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *archived = menu->addAction(QStringLiteral("Include Archived Chats"));
    archived->setCheckable(true);
    archived->setChecked(m_viewModel.includeArchived());
    connect(archived, &QAction::triggered, this, &TolvaranViewController::toggleArchived);
    menu->addSeparator();
    for (const ProjectSortMode mode : allProjectSortModes) {
        QAction *item = menu->addAction(QStringLiteral("Sort by ") + rawValue(mode));
        item->setCheckable(true);
        item->setChecked(mode == m_viewModel.sortMode());
        item->setData(rawValue(mode));
        connect(item, &QAction::triggered, this, [this, item] {
            if (const auto chosen = projectSortModeFromRawValue(item->data().toString()))
                m_viewModel.setSortMode(*chosen);
        });
    }
    menu->popup(m_optionsButton->mapToGlobal(QPoint(0, m_optionsButton->height())));
}

} // namespace tolvaran
