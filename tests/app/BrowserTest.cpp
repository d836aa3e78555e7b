// The browser's frame: the controls that give way as the window narrows, the footer's text,
// where the tag sidebar goes, and how model changes turn into renders.
#include "BrowserWorld.h"

#include "widgets/ClosureButton.h"
#include "widgets/ElidingLabel.h"
#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "widgets/SegmentedControl.h"
#include "app/window/TolvaranViewController.h"
#include "support/network/LocalHttpServer.h"
#include "support/update/ReleaseBuilder.h"
#include "support/WaitUntil.h"
#include "update/AppUpdateService.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

class BrowserTest : public ::testing::Test
{
protected:
    // A shown browser of the given width whose first render has run.
    TolvaranViewController &makeBrowser(int width, bool sidebarVisible = false)
    {
        if (!world.model)
            world.makeModel(sidebarVisible);
        browser = std::make_unique<TolvaranViewController>(*world.model, world.team,
                                                           world.folderPicker,
                                                           [](const QString &) {});
        QObject::connect(browser.get(), &TolvaranViewController::rendered,
                         [this] { ++renders; });
        browser->resize(width, 700);
        browser->show();
        EXPECT_TRUE(waitUntil([this] { return renders > 0; }));
        return *browser;
    }

    void resizeTo(int width)
    {
        browser->resize(width, 700);
        QCoreApplication::processEvents();
    }

    QWidget *control(const char *name) const
    {
        auto *widget = browser->findChild<QWidget *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    bool shown(const char *name) const { return !control(name)->isHidden(); }

    QString footerText() const
    {
        return browser->findChild<ElidingLabel *>(QStringLiteral("footerLabel"))->text();
    }

    BrowserWorld world;
    std::unique_ptr<TolvaranViewController> browser;
    int renders = 0;
};

TEST_F(BrowserTest, controlsGiveWayAtTheirWidths)
{
    makeBrowser(1000);
    const struct
    {
        int width;
        bool segments, countLabel, sparkline, usageTotal, sortControls;
    } rows[] = {
        {720, true, true, true, true, true},    {719, false, false, true, true, true},
        {700, false, false, true, true, true},  {699, false, false, false, true, true},
        {600, false, false, false, true, true}, {599, false, false, false, false, true},
        {520, false, false, false, false, true}, {519, false, false, false, false, false},
    };
    for (const auto &row : rows) {
        resizeTo(row.width);
        SCOPED_TRACE(row.width);
        EXPECT_EQ(shown("scopeControl"), row.segments);
        EXPECT_EQ(shown("scopeButton"), !row.segments);
        EXPECT_EQ(shown("countLabel"), row.countLabel);
        EXPECT_EQ(shown("usageSparkline"), row.sparkline);
        EXPECT_EQ(shown("usageTotalLabel"), row.usageTotal);
        EXPECT_EQ(shown("sortButton"), row.sortControls);
        EXPECT_EQ(shown("archivedButton"), row.sortControls);
        EXPECT_EQ(shown("optionsButton"), !row.sortControls);
    }
}

TEST_F(BrowserTest, theFooterTakesTwoLinesBelowSevenHundred)
{
    makeBrowser(700);
    EXPECT_FALSE(browser->usesCompactFooter());
    EXPECT_EQ(control("footer")->height(), TolvaranViewController::footerHeight);
    EXPECT_FALSE(footerText().contains(QLatin1Char('\n')));

    resizeTo(699);
    EXPECT_TRUE(browser->usesCompactFooter());
    EXPECT_EQ(control("footer")->maximumHeight(), TolvaranViewController::compactFooterHeight);
    EXPECT_TRUE(footerText().contains(QStringLiteral("\nEvent updates  |  ")));
}

TEST_F(BrowserTest, theUpdateControlFollowsTheUpdaterAndTheRefreshButtonChecks)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    ReleaseBuilder::publish(server, ReleaseBuilder::manifestFor("27.0.1", "archive"), "archive");
    AppUpdateEnvironment environment;
    environment.serverURL = ReleaseBuilder::baseAddress(server);
    environment.currentVersion = QStringLiteral("26.8.70");
    environment.runningExecutable = QStringLiteral("/usr/bin/tolvaran");
    environment.quitApplication = [] {};
    AppUpdateService updater(environment);

    makeBrowser(650);
    browser->setUpdater(&updater);
    EXPECT_FALSE(browser->usesCompactUpdateLabel());
    // Nothing to install: no button, and the version shows even in compact width.
    EXPECT_FALSE(shown("updateButton"));
    EXPECT_TRUE(shown("versionLabel"));

    // The refresh button refreshes the projects, then asks the update server.
    auto *refresh = browser->findChild<ClosureButton *>(QStringLiteral("refreshButton"));
    ASSERT_TRUE(waitUntil([refresh] { return refresh->isEnabled(); }));
    refresh->invoke();
    ASSERT_TRUE(waitUntil([this] { return shown("updateButton"); }));
    EXPECT_EQ(server.requestCount("/v1/app/update"), 1);
    auto *button = browser->findChild<QToolButton *>(QStringLiteral("updateButton"));
    EXPECT_EQ(button->text(), QStringLiteral("New Version"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Install version 27.0.1"));

    resizeTo(649);
    EXPECT_TRUE(browser->usesCompactUpdateLabel());
    EXPECT_EQ(button->text(), QStringLiteral("Update"));
    EXPECT_FALSE(shown("versionLabel"));
    browser.reset(); // before the updater it shows
}

TEST_F(BrowserTest, footerCountsProjectsAndTellsWhenTheyWereRefreshed)
{
    world.addProject(QStringLiteral("alpha"), 2, true);
    world.addProject(QStringLiteral("beta"), 1);
    makeBrowser(1000);
    EXPECT_EQ(footerText(),
              QStringLiteral("0/0 projects  |  0 pinned  |  0 unread  |  0 processing  |  "
                             "Event-driven repository updates  |  Not refreshed yet"));

    ASSERT_TRUE(world.refresh());
    // The list shows before the refresh has ended (its catalog write follows): the render
    // that names the refresh comes after the one that counts the projects.
    ASSERT_TRUE(waitUntil([this] {
        return footerText().startsWith(QStringLiteral("2/2 projects"))
            && footerText().contains(QStringLiteral("Refreshed "));
    }));
    EXPECT_TRUE(footerText().startsWith(QStringLiteral(
        "2/2 projects  |  0 pinned  |  0 unread  |  1 processing  |  "
        "Event-driven repository updates  |  Refreshed ")))
        << footerText().toStdString();
    EXPECT_TRUE(footerText().endsWith(QStringLiteral(" ago"))) << footerText().toStdString();

    world.model->setStatusMessage(QStringLiteral("Opening alpha"));
    ASSERT_TRUE(waitUntil([this] {
        return footerText().endsWith(QStringLiteral("  |  Opening alpha"));
    }));
    auto *count = browser->findChild<QLabel *>(QStringLiteral("countLabel"));
    EXPECT_EQ(count->text(), QStringLiteral("2 projects  |  3 chats"));
}

TEST_F(BrowserTest, relativeTimesAreRedrawnWhileShownAndNoTimerRunsWhileHidden)
{
    world.addProject(QStringLiteral("alpha"), 1);
    makeBrowser(1000);
    ASSERT_TRUE(world.refresh());
    ASSERT_TRUE(waitUntil(
        [this] { return footerText().endsWith(QStringLiteral("Refreshed 0 sec. ago")); }));
    const RelativeTimeRedrawTimer &timer = browser->relativeTimeRedrawTimer();
    EXPECT_TRUE(timer.isRunning());
    EXPECT_LE(timer.interval(), std::chrono::seconds(1)) << "seconds are redrawn every second";
    // Nothing else changes, yet the text moves on with the clock.
    EXPECT_TRUE(waitUntil(
        [this] { return footerText().endsWith(QStringLiteral("Refreshed 1 sec. ago")); }));

    browser->hide();
    EXPECT_FALSE(timer.isRunning());
    browser->show();
    EXPECT_TRUE(timer.isRunning());
}

TEST_F(BrowserTest, theSidebarDocksFromNineHundredThirtyAndFloatsBelow)
{
    makeBrowser(930, true);
    QWidget *sidebar = control("sidebar");
    EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::docked);
    EXPECT_EQ(sidebar->graphicsEffect(), nullptr);
    EXPECT_FALSE(control("sidebarDivider")->isHidden());

    resizeTo(929);
    EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::floating);
    EXPECT_NE(qobject_cast<QGraphicsDropShadowEffect *>(sidebar->graphicsEffect()), nullptr);
    EXPECT_EQ(sidebar->geometry(), QRect(0, 0, TolvaranViewController::sidebarWidth, 700));
    EXPECT_EQ(browser->findChild<QWidget *>(QStringLiteral("sidebarDivider")), nullptr)
        << "the divider leaves with the docked sidebar";

    resizeTo(1200);
    EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::docked);
    EXPECT_EQ(sidebar->graphicsEffect(), nullptr);
    EXPECT_EQ(sidebar->width(), TolvaranViewController::sidebarWidth);
}

TEST_F(BrowserTest, aHiddenSidebarIsOutOfTheViewTreeAtEveryWidth)
{
    makeBrowser(1200, false);
    for (int width : {1200, 800}) {
        resizeTo(width);
        EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::hidden);
        EXPECT_EQ(browser->findChild<QWidget *>(QStringLiteral("sidebar")), nullptr);
        EXPECT_EQ(browser->findChild<QWidget *>(QStringLiteral("sidebarDivider")), nullptr);
    }
}

TEST_F(BrowserTest, changesWithinOneTurnCauseOneRender)
{
    world.addProject(QStringLiteral("alpha"), 1);
    makeBrowser(1000);
    runQueuedWork();
    const int before = renders;

    world.model->setSearchText(QStringLiteral("alp"));
    world.model->setScopeFilter(ProjectScopeFilter::pinned);
    world.model->setSortMode(ProjectSortMode::name);
    world.model->setStatusMessage(QStringLiteral("Working"));
    EXPECT_EQ(renders, before) << "nothing renders inside an announcement";
    runQueuedWork();
    EXPECT_EQ(renders, before + 1);

    // A change made during a render is shown by exactly one more.
    bool changedDuringRender = false;
    QObject::connect(browser.get(), &TolvaranViewController::rendered, world.model.get(),
                     [this, &changedDuringRender] {
                         if (changedDuringRender)
                             return;
                         changedDuringRender = true;
                         world.model->setStatusMessage(QStringLiteral("Again"));
                     });
    const int second = renders;
    world.model->setStatusMessage(QStringLiteral("Once"));
    runQueuedWork();
    EXPECT_EQ(renders, second + 2);
}

TEST_F(BrowserTest, aNarrowClipViewLeavesTheCardAreaAlone)
{
    world.addProject(QStringLiteral("alpha"), 1);
    makeBrowser(1000);
    ASSERT_TRUE(world.refresh());
    ProjectCardGrid *grid = browser->collectionView();
    ASSERT_TRUE(waitUntil([grid] { return grid->cardAt(0) != nullptr; }));
    const QRect before = grid->cardAt(0)->geometry();
    const QSizeF cardSize = grid->cardLayout().itemSize();

    grid->viewport()->resize(2, grid->viewport()->height());
    runQueuedWork();
    EXPECT_EQ(grid->cardLayout().itemSize(), cardSize);
    EXPECT_EQ(grid->cardAt(0)->geometry(), before);
}

TEST_F(BrowserTest, theEmptyStateTellsLoadingFromNoMatches)
{
    world.addProject(QStringLiteral("alpha"), 1);
    makeBrowser(1000);
    auto *empty = browser->findChild<QLabel *>(QStringLiteral("emptyLabel"));
    ASSERT_TRUE(world.refresh());
    ASSERT_TRUE(waitUntil([empty] { return empty->isHidden(); }));

    world.model->setSearchText(QStringLiteral("no such project"));
    ASSERT_TRUE(waitUntil([empty] { return !empty->isHidden(); }));
    EXPECT_EQ(empty->text(), QStringLiteral("No projects match the current filters."));
}

TEST_F(BrowserTest, controlsWriteTheCoordinatorsValues)
{
    world.addProject(QStringLiteral("alpha"), 1);
    makeBrowser(1000);
    auto *segments = browser->findChild<SegmentedControl *>(QStringLiteral("scopeControl"));
    auto *sort = browser->findChild<QComboBox *>(QStringLiteral("sortButton"));
    auto *pageSize = browser->findChild<QComboBox *>(QStringLiteral("pageSizeButton"));
    auto *search = browser->findChild<QLineEdit *>(QStringLiteral("searchField"));

    Q_EMIT segments->segmentSelected(2);
    Q_EMIT sort->activated(4);
    Q_EMIT pageSize->activated(1);
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("al"));
    EXPECT_EQ(world.model->scopeFilter(), ProjectScopeFilter::unread);
    EXPECT_EQ(world.model->sortMode(), ProjectSortMode::tokens);
    EXPECT_EQ(world.model->pageSize(), ProjectPageSize::twentyFive);
    EXPECT_EQ(world.model->searchText(), QStringLiteral("al"));

    // The render shows the values the coordinator holds.
    world.model->setSortMode(ProjectSortMode::path);
    ASSERT_TRUE(waitUntil([sort] { return sort->currentText() == QStringLiteral("Path"); }));
    EXPECT_EQ(segments->selectedSegment(), 2);
}

TEST_F(BrowserTest, theOptionsMenuChecksTheCurrentSortModeOnly)
{
    makeBrowser(500);
    world.model->setSortMode(ProjectSortMode::threads);
    browser->findChild<QToolButton *>(QStringLiteral("optionsButton"))->click();
    auto *menu = browser->findChild<QMenu *>();
    ASSERT_NE(menu, nullptr);
    QStringList checked;
    for (QAction *action : menu->actions()) {
        if (action->isChecked())
            checked.append(action->text());
    }
    EXPECT_EQ(checked, QStringList{QStringLiteral("Sort by Chats")});
    EXPECT_EQ(menu->actions().constFirst()->text(), QStringLiteral("Include Archived Chats"));

    menu->actions().at(3)->trigger(); // "Sort by Name"
    EXPECT_EQ(world.model->sortMode(), ProjectSortMode::name);
    menu->close();
}

} // namespace
