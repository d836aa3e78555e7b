// The application as a whole: what constructing it leaves untouched, the launch work that
// showing the window starts, the menu commands and the root view's choice of screen.
#include "app/AppServices.h"
#include "app/window/ContentView.h"
#include "app/TolvaranApp.h"
#include "app/window/TolvaranViewController.h"
#include "app/TolvaranWindow.h"

#include <QFileDialog>
#include "app/AppServices.h"
#include "coordinator/ProjectListViewModel.h"
#include "team/presence/TeamPresenceService.h"
#include "team/TeamWorkspace.h"
#include "team/TeamWorkspaceStore.h"
#include "update/AppUpdateService.h"
#include "support/codex/FakeCodexHome.h"
#include "support/network/LocalHttpServer.h"
#include "support/QtPrinters.h"
#include "support/update/ReleaseBuilder.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "support/widgets/OffscreenScreens.h"
#include "support/widgets/ScopedApplicationFont.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

namespace tolvaran {

class TolvaranWindowTesting
{
public:
    // Windows shown from now on are placed by the test's moves, however slowly they reach
    // them; until the guard returned goes.
    static auto keepPlacing()
    {
        const auto usual = std::exchange(TolvaranWindow::s_placementTime, std::chrono::hours(1));
        return qScopeGuard([usual] { TolvaranWindow::s_placementTime = usual; });
    }
};

} // namespace tolvaran

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

// What the process's open descriptors lead to: files, sockets, inotify instances.
QStringList openDescriptorTargets()
{
    QStringList targets;
    const QDir folder(QStringLiteral("/proc/self/fd"));
    for (const QString &entry : folder.entryList(QDir::Files | QDir::System))
        targets.append(QFile::symLinkTarget(folder.filePath(entry)));
    targets.removeAll(QString());
    return targets;
}

QStringList matching(const QStringList &targets, const QStringList &markers)
{
    QStringList found;
    for (const QString &target : targets) {
        for (const QString &marker : markers) {
            if (target.contains(marker))
                found.append(target);
        }
    }
    return found;
}

class ApplicationTest : public ::testing::Test
{
protected:
    ApplicationTest()
        : codex(home.filePath(QStringLiteral(".codex")))
    {
        environment.useHome(home.path(), codex.path());
        // The updater asks this server, never the real one; it has no release to offer.
        EXPECT_TRUE(updateServer.listen());
        environment.set("TOLVARAN_SERVER_URL",
                        ReleaseBuilder::baseAddress(updateServer).toUtf8());
        projectPath = home.filePath(QStringLiteral("code/alpha"));
        QDir().mkpath(projectPath);
        FakeCodexThread thread;
        thread.id = QStringLiteral("thread-1");
        thread.cwd = projectPath;
        thread.title = QStringLiteral("First chat");
        thread.updatedAt = Timestamp::now().addingSeconds(-300);
        thread.createdAt = thread.updatedAt.addingSeconds(-60);
        thread.recencyAt = thread.updatedAt;
        codex.addThread(thread);
        codex.writeRollout(thread.id, FakeCodexHome::threadOpening(thread.createdAt, thread.id,
                                                                   projectPath));
        codex.writeDatabase();
    }

    // Shows the application's window on a large screen; true once its first refresh ended.
    static bool shownOnALargeScreen(TolvaranApp &app)
    {
        app.window().fitToScreen(QRect(0, 0, 1920, 1080), true);
        app.window().show();
        return waitUntil([&app] { return app.viewModel().lastRefreshedAt().has_value(); });
    }

    TemporaryHome home;
    LocalHttpServer updateServer;
    ScopedEnvironment environment;
    FakeCodexHome codex;
    QString projectPath;
};

TEST_F(ApplicationTest, constructingTheApplicationTouchesNoDatabaseMonitorOrSocket)
{
    const QStringList markers{QStringLiteral("socket:"), QStringLiteral("inotify"),
                              QStringLiteral(".sqlite")};
    const QStringList before = matching(openDescriptorTargets(), markers);
    const QStringList codexFiles = QDir(codex.path()).entryList(QDir::Files | QDir::Hidden);
    {
        TolvaranApp app;
        EXPECT_EQ(app.window().contentView()->teamViewSource(),
                  &app.services().teamViewSource());
        EXPECT_FALSE(app.viewModel().isMonitoring());
        EXPECT_EQ(app.window().contentView()->updater(), &app.services().updater());
        EXPECT_FALSE(app.services().updater().hasStarted());
        EXPECT_FALSE(app.services().teamWorkspaceStore().isStarted());
        EXPECT_FALSE(app.viewModel().lastRefreshedAt().has_value());
        EXPECT_EQ(matching(openDescriptorTargets(), markers), before);
        EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("data/Tolvaran"))))
            << "no store has written its folder";
        EXPECT_EQ(QDir(codex.path()).entryList(QDir::Files | QDir::Hidden), codexFiles)
            << "Codex's folder is as Codex left it (no side files)";
    }
}

TEST_F(ApplicationTest, showingTheWindowStartsTheWorkOnce)
{
    TolvaranApp app;
    TolvaranWindow &window = app.window();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tolvaran"));
    EXPECT_EQ(window.minimumSize(), QSize(400, 680));

    window.show();
    ASSERT_TRUE(waitUntil([&app] { return app.viewModel().lastRefreshedAt().has_value(); }));
    EXPECT_TRUE(app.viewModel().isMonitoring());
    EXPECT_TRUE(app.services().updater().hasStarted());
    EXPECT_TRUE(app.services().teamWorkspaceStore().isStarted());
    EXPECT_TRUE(app.services().teamWorkspaceStore().teams().first()->service().isStarted());
    ASSERT_TRUE(waitUntil([this] { return updateServer.requestCount("/v1/app/update") == 1; }));
    ASSERT_EQ(app.viewModel().projects().size(), 1);
    const Timestamp firstRefresh = *app.viewModel().lastRefreshedAt();

    // Shown again: the launch work is not repeated.
    window.hide();
    window.show();
    // A refresh would end, and a check would reach the server, through work of their own
    // that nothing on this thread comes after in order: a bounded wait shows there is none.
    processEventsFor(std::chrono::milliseconds(300));
    EXPECT_EQ(*app.viewModel().lastRefreshedAt(), firstRefresh);
    EXPECT_EQ(updateServer.requestCount("/v1/app/update"), 1);
}

TEST_F(ApplicationTest, menuCommandsWorkFromTheDetailPaneToo)
{
    TolvaranApp app;
    TolvaranWindow &window = app.window();
    window.show();
    ProjectListViewModel &model = app.viewModel();
    ASSERT_TRUE(waitUntil([&model] { return model.lastRefreshedAt().has_value(); }));

    EXPECT_EQ(window.newProjectAction()->text(), QStringLiteral("New Project..."));
    EXPECT_EQ(window.newProjectAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    EXPECT_EQ(window.refreshAction()->text(), QStringLiteral("Refresh"));
    EXPECT_EQ(window.refreshAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));

    ContentView &content = *window.contentView();
    content.openProject(projectPath);
    ASSERT_EQ(content.screen(), ContentView::Screen::projectDetail);
    const Timestamp before = *model.lastRefreshedAt();
    ASSERT_TRUE(waitUntil([before] { return Timestamp::now() > before; })); // a later time
    window.refreshAction()->trigger();
    ASSERT_TRUE(waitUntil([&model, before] { return *model.lastRefreshedAt() > before; }));
    EXPECT_EQ(content.screen(), ContentView::Screen::projectDetail);
    // The launch's check, then the command's, after its refresh.
    EXPECT_TRUE(waitUntil([this] { return updateServer.requestCount("/v1/app/update") == 2; }));

    // "New Project..." opens its dialog without a nested event loop: trigger() returns while
    // the dialog is up, and cancelling it creates nothing.
    window.newProjectAction()->trigger();
    QFileDialog *dialog = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        dialog = window.findChild<QFileDialog *>();
        return dialog && dialog->isVisible();
    }));
    dialog->reject();
    EXPECT_TRUE(waitUntil([&] { return window.findChild<QFileDialog *>() == nullptr; }));
}

TEST_F(ApplicationTest, theRootViewShowsTheDetailPaneOnlyOfAKnownProject)
{
    TolvaranApp app;
    TolvaranWindow &window = app.window();
    window.show();
    ProjectListViewModel &model = app.viewModel();
    ASSERT_TRUE(waitUntil([&model] { return model.lastRefreshedAt().has_value(); }));
    ContentView &content = *window.contentView();
    const QPointer<TolvaranViewController> firstBrowser = content.browser();
    ASSERT_NE(firstBrowser, nullptr);

    // A project the coordinator does not know leaves the browser, and the id, in place.
    content.openProject(home.filePath(QStringLiteral("code/gone")));
    EXPECT_EQ(content.screen(), ContentView::Screen::browser);
    EXPECT_EQ(content.browser(), firstBrowser.data());
    EXPECT_TRUE(content.detailedProjectID().has_value());

    content.openProject(projectPath);
    ASSERT_EQ(content.screen(), ContentView::Screen::projectDetail);
    auto *back = window.findChild<QToolButton *>(QStringLiteral("backButton"));
    ASSERT_NE(back, nullptr);
    back->click();
    EXPECT_EQ(content.screen(), ContentView::Screen::browser);
    EXPECT_FALSE(content.detailedProjectID().has_value());
    ASSERT_TRUE(waitUntil([&firstBrowser] { return firstBrowser.isNull(); }))
        << "leaving the browser ends its controller";
    ASSERT_NE(content.browser(), nullptr);
    EXPECT_EQ(content.browser()->teamViewSource(), &app.services().teamViewSource())
        << "every browser reads the one source of team values";
}

} // namespace

// A screen lower than the window's least height (800 by 600, 1024 by 600; 1366 by 768 at
// 125 %): the window, the window manager's frame included, fits it whole, at the default text
// size and at 15 points, with the page bar and the status line on screen. The frame is known
// only once the window shows (the offscreen platform draws one of 2 pixels).
TEST_F(ApplicationTest, theWindowFitsASmallScreenWithItsPageBarAndStatusLine)
{
    const QRect screens[] = {QRect(0, 0, 800, 600), QRect(0, 0, 1024, 600),
                             QRect(0, 0, 1093, 614)};
    for (const double points : {9.0, 15.0}) {
        ScopedApplicationFont font(points);
        for (const QRect &available : screens) {
            SCOPED_TRACE(QStringLiteral("%1 pt, %2 by %3").arg(points).arg(available.width())
                             .arg(available.height()).toStdString());
            TolvaranApp app;
            TolvaranWindow &window = app.window();
            window.fitToScreen(available, true);
            EXPECT_EQ(window.minimumSize().height(), std::min(680, available.height()));
            window.show();
            ASSERT_TRUE(waitUntil([&] {
                auto *browser = window.findChild<TolvaranViewController *>();
                return browser && app.viewModel().lastRefreshedAt().has_value();
            }));
            runQueuedWork(); // the layout the refresh asked for

            const QMargins frame = window.windowHandle()->frameMargins();
            ASSERT_FALSE(frame.isNull());
            EXPECT_LE(window.frameGeometry().width(), available.width());
            EXPECT_LE(window.frameGeometry().height(), available.height());
            EXPECT_LE(window.minimumSize().height() + frame.top() + frame.bottom(),
                      available.height());
            for (const char *name : {"paginationBar", "footer", "footerLabel", "nextButton"}) {
                auto *part = window.findChild<QWidget *>(QLatin1String(name));
                ASSERT_NE(part, nullptr) << name;
                const QRect area(part->mapTo(&window, QPoint()), part->size());
                EXPECT_TRUE(part->isVisible()) << name;
                EXPECT_TRUE(window.rect().contains(area)) << name;
            }
        }
    }
}

TEST_F(ApplicationTest, theFirstWindowTakesItsSizeWhereTheScreenHasRoom)
{
    TolvaranApp app;
    TolvaranWindow &window = app.window();
    window.fitToScreen(QRect(0, 0, 1920, 1080), true);
    EXPECT_EQ(window.size(), QSize(1180, 820));
    EXPECT_EQ(window.minimumSize(), QSize(400, 680));
    window.fitToScreen(QRect(0, 0, 1280, 800), true);
    EXPECT_EQ(window.size(), QSize(1180, 800));
}

// Two screens side by side, the smaller one on the left the primary one, which change as a
// window system changes them: the window keeps its size and its place.
TEST_F(ApplicationTest, theWindowKeepsItsSizeAndPlaceAsScreensAndPanelsChange)
{
    const QRect left(0, 0, 1366, 768);
    const QRect right(1366, 0, 1920, 1080);
    if (QGuiApplication::screens().size() < 2) {
        EXPECT_EQ(runCurrentTestOnScreens({{left, right}}), QList<bool>{true});
        return;
    }
    const auto placing = TolvaranWindowTesting::keepPlacing();
    enum class Size { any, first, had };
    const QRect belowAPanel = left.adjusted(0, 32, 0, 0);
    const QRect shrunk(0, 0, 1024, 600);
    const QRect alone(0, 0, 1920, 1080);
    const auto panelOnTheLeft = [&] {
        setOffscreenFreeArea(QGuiApplication::screenAt(left.center()), belowAPanel);
    };
    const struct
    {
        const char *name;
        std::optional<QPoint> shownAt; // the frame's place; none: where Qt shows it, on the left
        std::optional<QPoint> movedTo; // once it is drawn
        std::function<void()> change;
        QRect inside; // none: the window stays where it is
        Size size = Size::any;
    } rows[] = {
        {"placed on the right screen by the window manager once drawn", {},
         right.topLeft() + QPoint(200, 100), [] {}, right, Size::first},
        {"the left screen goes with the window on it, the right one moving left",
         QPoint(40, 0), {},
         [&] {
             changeOffscreenScreens({QRect(), alone});
             // For a moment X11 may tell of the free area of the layout before.
             QScreen *remaining = QGuiApplication::screenAt(alone.center());
             setOffscreenFreeArea(remaining, alone.intersected(right));
             runQueuedWork();
             setOffscreenFreeArea(remaining, alone);
         },
         alone, Size::had},
        {"the right screen goes with the window on it", right.topLeft(), {},
         [&] {
             panelOnTheLeft();
             changeOffscreenScreens({left, QRect()});
         },
         belowAPanel},
        {"the left screen shrinks under the window", QPoint(100, 0), {},
         [&] { changeOffscreenScreens({shrunk, right}); }, shrunk},
        {"a panel comes over the window", QPoint(100, 0), {}, panelOnTheLeft, belowAPanel},
        {"a panel comes on the left, the window left 70 % off the right one's outer edge",
         right.topLeft(), right.topLeft() + QPoint(right.width() - 360, 300), panelOnTheLeft,
         {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        changeOffscreenScreens({left, right});
        setOffscreenFreeArea(QGuiApplication::screenAt(left.center()), left);
        TolvaranApp app;
        TolvaranWindow &window = app.window();
        if (row.shownAt)
            window.move(*row.shownAt);
        window.show();
        ASSERT_TRUE(waitUntil([&] { return window.windowHandle()->isExposed(); }));
        if (row.movedTo) {
            window.move(*row.movedTo);
            ASSERT_TRUE(
                waitUntil([&] { return window.frameGeometry().topLeft() == *row.movedTo; }));
            runQueuedWork();
        }
        const QRect before = window.frameGeometry();
        const QSize had = window.size();
        row.change();
        if (row.inside.isNull()) {
            runQueuedWork();
            EXPECT_EQ(window.frameGeometry(), before);
            continue;
        }
        const QSize first(TolvaranWindow::initialWidth, TolvaranWindow::initialHeight);
        const std::optional<QSize> size = row.size == Size::first ? std::optional(first)
                                          : row.size == Size::had ? std::optional(had)
                                                                  : std::nullopt;
        EXPECT_TRUE(waitUntil([&] {
            return row.inside.contains(window.frameGeometry())
                && window.size() == size.value_or(window.size());
        })) << QDebug::toString(window.frameGeometry()).toStdString();
    }
}

// The window is never narrower than what its content needs at the text size (the browser's
// cards and bars, the detail pane's), nor than its own least width; on a screen narrower than
// that, the screen wins.
TEST_F(ApplicationTest, theLeastWidthIsTheContentsAtTheTextSizeWhereTheScreenHasRoom)
{
    for (const double points : {9.0, 15.0, 20.0}) {
        SCOPED_TRACE(points);
        ScopedApplicationFont font(points);
        TolvaranApp app;
        TolvaranWindow &window = app.window();
        ASSERT_TRUE(shownOnALargeScreen(app));
        ContentView &content = *window.contentView();
        const auto expectNothingClipped = [&] {
            runQueuedWork();
            window.resize(window.minimumSize());
            QCoreApplication::processEvents();
            EXPECT_GE(content.width(), content.minimumSizeHint().width());
            EXPECT_GE(window.minimumSize().width(), TolvaranWindow::minimumWidth);
        };
        expectNothingClipped();
        if (points == 9.0)
            EXPECT_EQ(window.minimumSize().width(), TolvaranWindow::minimumWidth);
        else
            EXPECT_GT(window.minimumSize().width(), TolvaranWindow::minimumWidth);

        content.openProject(projectPath);
        ASSERT_EQ(content.screen(), ContentView::Screen::projectDetail);
        expectNothingClipped();

        window.fitToScreen(QRect(0, 0, 500, 400));
        const QMargins frame = window.windowHandle()->frameMargins();
        EXPECT_LE(window.minimumSize().width() + frame.left() + frame.right(), 500);
        EXPECT_LE(window.frameGeometry().width(), 500);
    }
}

// The window manager sizes a maximised window to the screen itself: a fit leaves it so.
TEST_F(ApplicationTest, aMaximisedWindowKeepsTheSizeTheWindowManagerGaveIt)
{
    TolvaranApp app;
    TolvaranWindow &window = app.window();
    window.showMaximized();
    ASSERT_TRUE(waitUntil([&] { return window.isMaximized() && window.width() > 640; }));
    const QSize maximised = window.size();
    window.fitToScreen(QRect(0, 0, 640, 480));
    EXPECT_EQ(window.size(), maximised);
}

// The window widens for a screen that needs more than it has (the detail pane at a large text
// size) and gives that room back when the browser shows again, unless the user has sized the
// window since. At the default text size the teams dashboard fits the window's least width, and
// at a larger one the browser's, so opening it widens nothing.
TEST_F(ApplicationTest, aScreenThatWidenedTheWindowGivesTheRoomBackToTheBrowser)
{
    for (const double points : {9.0, 15.0}) {
        SCOPED_TRACE(points);
        ScopedApplicationFont font(points);
        TolvaranApp app;
        TolvaranWindow &window = app.window();
        ASSERT_TRUE(shownOnALargeScreen(app));
        const auto settled = [] {
            runQueuedWork();
            QCoreApplication::processEvents();
        };
        settled();
        const int browserLeast = window.minimumSize().width();
        if (points == 9.0) {
            ASSERT_EQ(browserLeast, TolvaranWindow::minimumWidth);
        }
        window.resize(browserLeast, window.height());
        settled();
        ContentView &content = *window.contentView();

        content.showTeams();
        ASSERT_EQ(content.screen(), ContentView::Screen::teams);
        settled();
        EXPECT_LE(content.minimumSizeHint().width(), browserLeast);
        EXPECT_LE(window.minimumSize().width(), browserLeast);
        EXPECT_EQ(window.width(), browserLeast);
        content.closeTeams();
        settled();
        EXPECT_EQ(window.minimumSize().width(), browserLeast);

        content.openProject(projectPath);
        ASSERT_EQ(content.screen(), ContentView::Screen::projectDetail);
        settled();
        const int paneLeast = content.minimumSizeHint().width();
        EXPECT_EQ(window.width(), std::max(browserLeast, paneLeast));
        content.closeProject();
        ASSERT_EQ(content.screen(), ContentView::Screen::browser);
        settled();
        EXPECT_EQ(window.minimumSize().width(), browserLeast);
        EXPECT_EQ(window.width(), browserLeast);

        if (paneLeast <= browserLeast)
            continue;
        // Sized by the user while widened: the window keeps the user's width.
        content.openProject(projectPath);
        settled();
        window.resize(paneLeast + 40, window.height());
        settled();
        content.closeProject();
        settled();
        EXPECT_EQ(window.width(), paneLeast + 40);
    }
}
