// The detail pane over a real coordinator: loading the details once (a stale or late load
// never shows), following the live project in place, the pane's actions and their failures in
// its banner, and the keyboard's reading order.
#include "app/BrowserWorld.h"
#include "data/git/ProjectRepositoryStore.h"
#include "detail/sections/BehindWarning.h"
#include "detail/sections/CommitList.h"
#include "detail/DetailHeader.h"
#include "detail/DetailStatusBanner.h"
#include "detail/DetailTabBar.h"
#include "detail/sections/MarkdownFileBrowser.h"
#include "detail/ProjectDetailView.h"
#include "detail/ProjectDetailViewModel.h"
#include "detail/ProjectOverview.h"
#include "detail/sections/RecentChatList.h"
#include "detail/sections/TokenUsageChart.h"
#include "detail/sections/TokenUsageSection.h"
#include "detail/sections/TeamActivitySection.h"
#include "detail/sections/TeamUsageSection.h"
#include "support/team/FixedTeamViewSource.h"
#include "support/GitRepositoryBuilder.h"
#include "support/QtPrinters.h"
#include "support/codex/RolloutLines.h"
#include "support/WaitUntil.h"
#include "support/widgets/ScopedApplicationFont.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QToolButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <future>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace std::chrono_literals;

namespace {

ProjectDetailSnapshot snapshotNamed(const QString &subject)
{
    ProjectDetailSnapshot snapshot;
    snapshot.commits.append({subject, subject, QStringLiteral("2026-01-05"),
                             QStringLiteral("Ada"), subject});
    return snapshot;
}

struct PaneWorld
{
    BrowserWorld world;
    ProjectRepositoryStore store;
    QString path;

    explicit PaneWorld(int chats = 2)
    {
        path = world.addProject(QStringLiteral("alpha"), chats);
        world.makeModel();
        EXPECT_TRUE(world.refresh());
    }

    CodexProject project() const { return *world.model->project(path); }

    std::unique_ptr<ProjectDetailViewModel>
    makeModel(ProjectDetailViewModel::DetailsLoader loader = {})
    {
        if (!loader)
            loader = ProjectDetailViewModel::repositoryLoader(store);
        return std::make_unique<ProjectDetailViewModel>(project(), *world.model,
                                                        std::move(loader));
    }
};

// Whether the whole of `widget` shows in the viewport of `area`.
bool shownWhole(const QScrollArea *area, const QWidget *widget)
{
    const QRect shown(widget->mapTo(area->viewport(), QPoint()), widget->size());
    return area->viewport()->rect().contains(shown);
}

} // namespace

TEST(ProjectDetailViewModel, loadsTheDetailsOnceThenReadsTheGitStatusAfresh)
{
    PaneWorld pane;
    GitRepositoryBuilder repository(pane.path);
    for (int index = 0; index < 9; ++index) {
        repository.writeFile(QStringLiteral("file%1.txt").arg(index), "x");
        repository.commitAll(QStringLiteral("Commit %1").arg(index));
    }
    auto model = pane.makeModel();
    EXPECT_TRUE(model->isLoadingDetails());
    EXPECT_FALSE(model->details());
    EXPECT_FALSE(model->gitStatus()); // the coordinator has not read it yet

    model->loadDetails();
    ASSERT_TRUE(waitUntil([&] { return model->gitStatus().has_value(); }));
    ASSERT_TRUE(model->details());
    EXPECT_FALSE(model->isLoadingDetails());
    EXPECT_EQ(model->details()->commits.size(), 8);
    EXPECT_EQ(model->details()->commits.first().subject, "Commit 8");
    EXPECT_EQ(model->gitStatus()->branch, "main");
}

TEST(ProjectDetailViewModel, aLoadOvertakenByANewerOneIsDropped)
{
    PaneWorld pane;
    std::promise<void> releaseFirst;
    std::shared_future<void> firstReleased = releaseFirst.get_future().share();
    std::atomic<int> calls = 0;
    std::atomic<bool> firstReturned = false;
    auto model = pane.makeModel([&](const QString &, const WorkContext &) {
        if (calls.fetch_add(1) == 0) {
            firstReleased.wait();
            firstReturned = true;
            return snapshotNamed(QStringLiteral("stale"));
        }
        return snapshotNamed(QStringLiteral("newer"));
    });

    model->loadDetails();
    ASSERT_TRUE(waitUntil([&] { return calls.load() == 1; }));
    model->loadDetails();
    ASSERT_TRUE(waitUntil([&] { return model->details().has_value(); }));
    EXPECT_EQ(model->details()->commits.first().subject, "newer");

    releaseFirst.set_value();
    ASSERT_TRUE(waitUntil([&] { return firstReturned.load(); }));
    runQueuedWork();
    EXPECT_EQ(model->details()->commits.first().subject, "newer");
    EXPECT_FALSE(model->isLoadingDetails());
}

TEST(ProjectDetailViewModel, aLoadThatEndsAfterThePaneClosedIsDropped)
{
    PaneWorld pane;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> started = false;
    std::atomic<bool> returned = false;
    auto model = pane.makeModel([&](const QString &, const WorkContext &) {
        started = true;
        released.wait();
        returned = true;
        return snapshotNamed(QStringLiteral("late"));
    });
    int gitRefreshes = 0;
    QObject::connect(model.get(), &ProjectDetailViewModel::gitStatusChanged,
                     [&] { ++gitRefreshes; });
    model->loadDetails();
    ASSERT_TRUE(waitUntil([&] { return started.load(); }));
    model->close();
    release.set_value();
    ASSERT_TRUE(waitUntil([&] { return returned.load(); }));
    runQueuedWork();
    EXPECT_FALSE(model->details());
    EXPECT_EQ(gitRefreshes, 0); // nor was the git status read for a closed pane
}

TEST(ProjectDetailView, followsTheLiveProjectInPlaceKeepingTabAndScroll)
{
    PaneWorld pane(30);
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    view.resize(900, 500);
    view.show();
    ASSERT_TRUE(waitUntil([&] { return !model->isLoadingDetails(); }));
    view.selectTab(ProjectDetailTab::chats);
    QScrollArea *chatsScroll = view.scrollArea(ProjectDetailTab::chats);
    ASSERT_TRUE(waitUntil([&] { return chatsScroll->verticalScrollBar()->maximum() > 200; }));
    chatsScroll->verticalScrollBar()->setValue(150);
    const QList<RecentChatRow *> rowsBefore = view.recentChatList()->rows();
    ASSERT_EQ(rowsBefore.size(), 30);
    DetailHeader *header = view.header();

    // Codex records a new chat, newer than every other.
    FakeCodexThread thread;
    thread.id = QStringLiteral("fresh");
    thread.cwd = pane.path;
    thread.title = QStringLiteral("A fresh chat");
    thread.createdAt = Timestamp::now();
    thread.updatedAt = thread.createdAt;
    thread.recencyAt = thread.createdAt;
    pane.world.codex.addThread(thread);
    pane.world.codex.writeDatabase();
    ASSERT_TRUE(pane.world.refresh());
    ASSERT_TRUE(waitUntil([&] { return view.recentChatList()->rows().size() == 31; }));

    EXPECT_EQ(view.recentChatList()->rows().first()->title(), "A fresh chat");
    EXPECT_EQ(view.overview()->metrics().first().value, "31");
    EXPECT_EQ(view.header(), header);
    EXPECT_EQ(view.selectedTab(), ProjectDetailTab::chats);
    EXPECT_EQ(chatsScroll->verticalScrollBar()->value(), 150);
}

TEST(ProjectDetailView, showsFiftyOfFiftyOneChats)
{
    PaneWorld pane(51);
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    view.selectTab(ProjectDetailTab::chats);
    EXPECT_EQ(model->project().threadCount(), 51);
    EXPECT_EQ(view.recentChatList()->rows().size(), 50);
}

TEST(ProjectDetailView, actionsReachCodexAndTheDesktopAndTheirFailuresShowInTheBanner)
{
    PaneWorld pane;
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    DetailStatusBanner *banner = view.statusBanner();
    EXPECT_TRUE(banner->isHidden());
    auto click = [&](const char *name) {
        view.header()->findChild<QAbstractButton *>(name)->click();
    };

    click("lastChatButton");
    ASSERT_TRUE(waitUntil([&] { return pane.world.codexLauncher->openedThreads.size() == 1; }));
    EXPECT_EQ(pane.world.codexLauncher->openedThreads.first().first, "alpha-0");
    ASSERT_TRUE(waitUntil([&] { return !banner->isHidden(); }));
    EXPECT_EQ(banner->message(), "Opening alpha's latest chat in Codex...");

    struct Failure
    {
        const char *button;
        std::function<void()> breakIt;
        QString message;
    };
    const QList<Failure> failures{
        {"terminalButton",
         [&] {
             pane.world.desktop->terminalResult = DesktopActionResult::failure(
                 DesktopActionResult::Status::NoTerminal,
                 QStringLiteral("No terminal application was found."));
         },
         QStringLiteral("Could not open Terminal: No terminal application was found.")},
        {"fileManagerButton",
         [&] {
             pane.world.desktop->revealResult = DesktopActionResult::failure(
                 DesktopActionResult::Status::NoHandler,
                 QStringLiteral("No application opens folders."));
         },
         QStringLiteral("No application opens folders.")},
        {"newChatButton",
         [&] {
             pane.world.codexLauncher->result = DesktopActionResult::failure(
                 DesktopActionResult::Status::CodexNotFound,
                 QStringLiteral("The Codex command-line tool was not found."));
         },
         {}},
    };
    for (const Failure &failure : failures) {
        SCOPED_TRACE(failure.button);
        failure.breakIt();
        const QString before = banner->message();
        click(failure.button);
        // The message this action leaves (another may come meanwhile from the chat opened
        // before, once it is marked read).
        ASSERT_TRUE(waitUntil([&] {
            return failure.message.isEmpty() ? banner->message() != before
                                             : banner->message() == failure.message;
        }));
        EXPECT_EQ(banner->message(), pane.world.model->statusMessage().value_or(QString()));
    }

    // A project Codex has no record for cannot be renamed: the pane says so.
    view.header()->promptToRename();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto *dialog = view.header()->findChild<QDialog *>(QStringLiteral("renameDialog"));
    ASSERT_NE(dialog, nullptr);
    dialog->accept();
    ASSERT_TRUE(waitUntil([&] {
        return banner->message()
               == "Codex has not assigned this project an editable project record yet.";
    }));

    banner->dismissButton()->click();
    ASSERT_TRUE(waitUntil([&] { return banner->isHidden(); }));
    EXPECT_FALSE(pane.world.model->statusMessage());
}

TEST(ProjectDetailView, aChatRowOpensThatChat)
{
    PaneWorld pane(3);
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    view.selectTab(ProjectDetailTab::chats);
    view.recentChatList()->rows().at(2)->click();
    ASSERT_TRUE(waitUntil([&] { return pane.world.codexLauncher->openedThreads.size() == 1; }));
    EXPECT_EQ(pane.world.codexLauncher->openedThreads.first().first, "alpha-2");
    ASSERT_TRUE(waitUntil([&] {
        return view.statusBanner()->message() == "Opening alpha's chat in Codex...";
    }));
}

TEST(ProjectDetailView, tabReachesTheHeaderAndTheTabsInReadingOrder)
{
    PaneWorld pane;
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    view.resize(1000, 600);
    view.show();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));

    QList<QWidget *> expected = view.header()->controls();
    for (DetailTabButton *button : view.tabBar()->buttons())
        expected.append(button);
    expected.first()->setFocus(Qt::TabFocusReason);
    QList<QWidget *> reached{QApplication::focusWidget()};
    for (qsizetype step = 1; step < expected.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.append(QApplication::focusWidget());
    }
    EXPECT_EQ(reached, expected);

    // Space on a focused tab selects it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(view.selectedTab(), ProjectDetailTab::markdown);
}

// The focus never goes out of sight: a chat row far down the list, reached by Tab, and the
// last tab of a bar wider than a narrow pane are scrolled into view.
TEST(ProjectDetailView, theFocusedControlIsScrolledIntoView)
{
    PaneWorld pane(20);
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    view.resize(1000, 420);
    view.show();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.selectTab(ProjectDetailTab::chats);
    QCoreApplication::processEvents();

    QScrollArea *chats = view.scrollArea(ProjectDetailTab::chats);
    const QList<RecentChatRow *> rows = view.recentChatList()->rows();
    ASSERT_EQ(rows.size(), 20);
    // Focus that comes from outside the list (here from code) brings the list along, and
    // so does Backtab on the way up.
    ASSERT_FALSE(shownWhole(chats, rows.last()));
    rows.last()->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(shownWhole(chats, rows.last()));
    for (qsizetype step = rows.size() - 2; step >= 0; --step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), rows.at(step));
        EXPECT_TRUE(shownWhole(chats, rows.at(step))) << step;
    }

    view.resize(360, 420);
    QCoreApplication::processEvents();
    auto *tabs = view.findChild<QScrollArea *>(QStringLiteral("tabBarScroll"));
    DetailTabButton *last = view.tabBar()->buttons().last();
    ASSERT_FALSE(shownWhole(tabs, last));
    last->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(shownWhole(tabs, last));
}

// The usage chart draws a scene of its own and tells the scroll area nothing useful of
// where its input is: at 15 points on a 1024 by 600 screen, Tab to it brings it into view
// whole, and in a pane lower than the chart, its top.
TEST(ProjectDetailView, theFocusedUsageChartComesIntoViewWholeOrFromItsTop)
{
    ScopedApplicationFont large(15);
    PaneWorld pane;
    rollout::TokenCount count;
    count.last.input = 1500;
    count.total.input = 1500;
    const Timestamp threeDaysAgo =
        Timestamp::fromDateTime(QDate::currentDate().addDays(-3).startOfDay());
    pane.world.codex.appendRolloutLines(
        QStringLiteral("alpha-0"), rollout::tokenCount(threeDaysAgo.addingSeconds(3600), count));
    ASSERT_TRUE(pane.world.refresh());
    ProjectListViewModel &coordinator = *pane.world.model;
    ASSERT_TRUE(waitUntil([&] {
        return coordinator.tokenUsage(pane.path).indexedTokens == 1500
            && !coordinator.isIndexingTokenUsage();
    }));
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    view.resize(1024, 546); // the screen less the window's title bar and menu bar
    view.show();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    TokenUsageSection *usage = view.tokenUsageSection();
    ASSERT_TRUE(waitUntil([usage] { return usage->isShowingChart(); }));
    QCoreApplication::processEvents();

    QScrollArea *overview = view.scrollArea(ProjectDetailTab::overview);
    TokenUsageChart *chart = usage->chart();
    ASSERT_LE(chart->height(), overview->viewport()->height());
    ASSERT_FALSE(shownWhole(overview, chart));
    chart->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(shownWhole(overview, chart));

    view.header()->controls().first()->setFocus(Qt::BacktabFocusReason);
    overview->verticalScrollBar()->setValue(0);
    view.resize(1024, 400);
    QCoreApplication::processEvents();
    ASSERT_GT(chart->height(), overview->viewport()->height());
    chart->setFocus(Qt::TabFocusReason);
    const int top = chart->mapTo(overview->viewport(), QPoint()).y();
    EXPECT_GE(top, 0);
    EXPECT_LE(top, 8) << "the chart's top, with room for its focus frame at most";
}

// Scrolled to its end, the Overview shows its last section above the column's padding, and
// no empty room: its tiles, side by side, are not counted as if each stood alone in a row.
TEST(ProjectDetailView, theOverviewScrollsToItsLastSectionAndNoFurther)
{
    PaneWorld pane;
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    view.resize(900, 400);
    view.show();
    QCoreApplication::processEvents();
    QScrollArea *overview = view.scrollArea(ProjectDetailTab::overview);
    QScrollBar *down = overview->verticalScrollBar();
    ASSERT_GT(down->maximum(), 0);
    down->setValue(down->maximum());
    const QWidget *last = view.tokenUsageSection();
    const int end = last->mapTo(overview->viewport(), QPoint(0, last->height())).y();
    EXPECT_EQ(end, overview->viewport()->height() - ProjectDetailView::columnPadding);
}

// The tabs read as tabs of one list, the chosen one selected, not as push buttons.
TEST(ProjectDetailView, theTabsReadAsPageTabsWithTheChosenOneSelected)
{
    PaneWorld pane;
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    view.show();
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(view.tabBar());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->role(), QAccessible::PageTabList);

    const auto selectedNames = [&] {
        QStringList selected;
        for (DetailTabButton *button : view.tabBar()->buttons()) {
            QAccessibleInterface *tab = QAccessible::queryAccessibleInterface(button);
            EXPECT_EQ(tab->role(), QAccessible::PageTab);
            EXPECT_EQ(tab->parent()->role(), QAccessible::PageTabList);
            if (tab->state().selected)
                selected.append(tab->text(QAccessible::Name));
        }
        return selected;
    };
    EXPECT_EQ(selectedNames(), QStringList{QStringLiteral("Overview")});

    // Pressing a tab through its accessible action chooses it, once and for good.
    QAccessibleInterface *chats =
        QAccessible::queryAccessibleInterface(view.tabBar()->buttons().at(2));
    chats->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    chats->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(view.selectedTab(), ProjectDetailTab::chats);
    EXPECT_EQ(selectedNames(), QStringList{chats->text(QAccessible::Name)});
}

TEST(ProjectDetailView, theBehindWarningFollowsTheRepositorysUpstream)
{
    PaneWorld pane;
    const QString remotePath = pane.world.home.filePath(QStringLiteral("remote.git"));
    GitRepositoryBuilder::bare(remotePath);
    GitRepositoryBuilder seed = GitRepositoryBuilder::clone(
        remotePath, pane.world.home.filePath(QStringLiteral("seed")));
    seed.writeFile(QStringLiteral("a.txt"), "a");
    seed.commitAll(QStringLiteral("First"));
    seed.git({QStringLiteral("push"), QStringLiteral("origin"), QStringLiteral("main")});
    QDir(pane.path).removeRecursively();
    GitRepositoryBuilder project = GitRepositoryBuilder::clone(remotePath, pane.path);
    auto behindBy = [&](int count) {
        for (int index = 0; index < count; ++index) {
            seed.writeFile(QStringLiteral("a.txt"), QByteArray::number(index));
            seed.commitAll(QStringLiteral("More"));
        }
        seed.git({QStringLiteral("push"), QStringLiteral("origin"), QStringLiteral("main")});
        project.git({QStringLiteral("fetch"), QStringLiteral("origin")});
    };

    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    view.show();
    EXPECT_TRUE(view.behindWarning()->isHidden());

    behindBy(1);
    view.hide();
    model->loadDetails();
    ASSERT_TRUE(waitUntil([&] { return !view.behindWarning()->isHidden(); }));
    EXPECT_EQ(view.behindWarning()->title(), "Project is behind by 1 commit");
    EXPECT_EQ(view.behindWarning()->detail(),
              "Compared with origin/main. Fetch or pull in Git to update the project.");

    behindBy(2);
    pane.world.model->refreshGitStatus(pane.path, true);
    ASSERT_TRUE(waitUntil(
        [&] { return view.behindWarning()->title() == "Project is behind by 3 commits"; }));
    EXPECT_EQ(view.overview()->metrics().last().value, "0 ahead, 3 behind");
}

TEST(ProjectDetailView, aChangeWhileAnotherTabShowsReachesTheChatsWhenTheirTabOpens)
{
    PaneWorld pane(2);
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    FakeCodexThread thread;
    thread.id = QStringLiteral("fresh");
    thread.cwd = pane.path;
    thread.title = QStringLiteral("A fresh chat");
    thread.createdAt = Timestamp::now();
    thread.updatedAt = thread.createdAt;
    thread.recencyAt = thread.createdAt;
    pane.world.codex.addThread(thread);
    pane.world.codex.writeDatabase();
    ASSERT_TRUE(pane.world.refresh());
    ASSERT_TRUE(waitUntil([&] { return view.overview()->metrics().first().value == "3"; }));

    view.selectTab(ProjectDetailTab::chats);
    ASSERT_EQ(view.recentChatList()->rows().size(), 3);
    EXPECT_EQ(view.recentChatList()->rows().first()->title(), "A fresh chat");
}

TEST(ProjectDetailView, theOverviewHoldsTheTokenUsageAndTheMarkdownTabItsFiles)
{
    PaneWorld pane;
    QDir(pane.path).mkpath(QStringLiteral("docs"));
    for (const char *name : {"README.md", "docs/guide.md"}) {
        QFile file(pane.path + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("# ") + name);
    }
    auto model = pane.makeModel();
    ProjectDetailView view(*model, {});
    view.resize(1000, 700);
    view.show();
    EXPECT_EQ(view.overviewSlot(ProjectDetailView::OverviewSection::tokenUsage),
              view.tokenUsageSection()->parentWidget());
    EXPECT_TRUE(view.tokenUsageSection()->isVisible());
    EXPECT_EQ(view.tokenUsageSection()->period(), TokenUsagePeriod::daily);

    ASSERT_TRUE(waitUntil([&] { return !model->isLoadingDetails(); }));
    // Not read while its tab is not shown.
    EXPECT_TRUE(view.markdownBrowser()->previewText().isEmpty());
    view.tokenUsageSection()->setPeriod(TokenUsagePeriod::hourly);
    ASSERT_EQ(model->details()->markdownFiles.size(), 2);
    const QString first = QStringLiteral("# ") + model->details()->markdownFiles[0].relativePath;
    view.selectTab(ProjectDetailTab::markdown);
    EXPECT_TRUE(waitUntil([&] { return view.markdownBrowser()->previewText() == first; }));
    view.selectTab(ProjectDetailTab::overview);
    EXPECT_EQ(view.tokenUsageSection()->period(), TokenUsagePeriod::daily);
}

TEST(ProjectDetailView, showsTheTeamSectionsWhileTheWorkspaceHasValuesForTheProject)
{
    PaneWorld pane;
    FixedTeamViewSource teamViews;
    auto model = pane.makeModel();
    model->followTeam(teamViews, pane.world.team);
    ProjectDetailView view(*model, {});
    view.show();
    using Section = ProjectDetailView::OverviewSection;
    const QList<Section> teamSections{Section::teamUsage, Section::sharedWithTeam,
                                      Section::teamActivity};
    for (Section section : teamSections)
        EXPECT_TRUE(view.overviewSlot(section)->isHidden());

    TeamProjectUsageMember member;
    member.memberName = QStringLiteral("Grace");
    teamViews.usageSummaries.insert(pane.path, {{member}});
    TeamProjectPeer peer;
    peer.deviceId = QStringLiteral("grace-laptop");
    peer.memberName = QStringLiteral("Grace");
    teamViews.summaries.insert(pane.path, {{peer}});
    SharedProjectState activity;
    activity.isDirty = true;
    teamViews.localActivities.insert(pane.path, activity);
    teamViews.summaries.insert(QStringLiteral("/elsewhere"), {});

    // A burst of announcements (one per value that changed) is read once, a turn later.
    QSignalSpy changes(model.get(), &ProjectDetailViewModel::teamValuesChanged);
    Q_EMIT pane.world.team.usageSummariesChanged();
    Q_EMIT pane.world.team.projectSummariesChanged();
    Q_EMIT pane.world.team.localActivityChanged();
    ASSERT_TRUE(waitUntil([&] { return !view.overviewSlot(Section::teamActivity)->isHidden(); }));
    EXPECT_EQ(changes.size(), 1);
    for (Section section : teamSections)
        EXPECT_FALSE(view.overviewSlot(section)->isHidden());
    EXPECT_EQ(view.teamUsageSection()->summary().members.size(), 1);
    EXPECT_EQ(view.teamActivitySection()->summary().peers.first().deviceId, "grace-laptop");

    // An announcement that changed nothing for this project re-renders nothing.
    Q_EMIT pane.world.team.projectSummariesChanged();
    runQueuedWork();
    EXPECT_EQ(changes.size(), 1);

    teamViews.usageSummaries.clear();
    teamViews.localActivities.clear();
    Q_EMIT pane.world.team.usageSummariesChanged();
    Q_EMIT pane.world.team.localActivityChanged();
    ASSERT_TRUE(waitUntil([&] { return view.overviewSlot(Section::teamUsage)->isHidden(); }));
    EXPECT_TRUE(view.overviewSlot(Section::sharedWithTeam)->isHidden());
    EXPECT_FALSE(view.overviewSlot(Section::teamActivity)->isHidden());
}
