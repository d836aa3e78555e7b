// Opening a card's detail pane in the whole application, over a real repository in a fake
// home: the tab it opens on, the commits and Markdown files it loads, and the two ways back.
#include "app/window/ContentView.h"
#include "app/TolvaranApp.h"
#include "app/window/TolvaranViewController.h"
#include "app/TolvaranWindow.h"
#include "coordinator/ProjectListViewModel.h"
#include "detail/sections/CommitList.h"
#include "detail/DetailHeader.h"
#include "detail/ProjectDetailView.h"
#include "detail/ProjectDetailViewModel.h"
#include "support/codex/FakeCodexHome.h"
#include "support/GitRepositoryBuilder.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "team_screens/TeamsDashboardView.h"
#include "widgets/ClosureButton.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

class DetailPaneIntegrationTest : public ::testing::Test
{
protected:
    DetailPaneIntegrationTest()
        : codex(home.filePath(QStringLiteral(".codex")))
    {
        environment.useHome(home.path(), codex.path());
        projectPath = home.filePath(QStringLiteral("code/alpha"));
        GitRepositoryBuilder repository(projectPath);
        for (const char *name : {"README.md", "docs/guide.md", "notes/todo.md"})
            repository.writeFile(QString::fromLatin1(name), "# Title\n");
        for (int index = 0; index < 9; ++index) {
            repository.writeFile(QStringLiteral("src/file.txt"), QByteArray::number(index));
            repository.commitAll(QStringLiteral("Commit %1").arg(index));
        }
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

    // Opens the project's pane and waits until it has loaded its details.
    ProjectDetailView *openPane(ContentView &content)
    {
        content.openProject(projectPath);
        ProjectDetailView *pane = content.detailView();
        if (!pane)
            return nullptr;
        // The pane draws what its model loaded in a render pass of its own, a turn later.
        const bool loaded = waitUntil([pane] {
            return !pane->model().isLoadingDetails() && pane->model().gitStatus().has_value()
                && pane->commitList()->state() != CommitList::State::loading;
        });
        return loaded ? pane : nullptr;
    }

    TemporaryHome home;
    ScopedEnvironment environment;
    FakeCodexHome codex;
    QString projectPath;
};

} // namespace

TEST_F(DetailPaneIntegrationTest, opensOnOverviewListsEightCommitsAndGoesBackTwoWays)
{
    TolvaranApp app;
    TolvaranWindow &window = app.window();
    window.show();
    ASSERT_TRUE(waitUntil([&app] { return app.viewModel().lastRefreshedAt().has_value(); }));
    ContentView &content = *window.contentView();

    ProjectDetailView *pane = openPane(content);
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->selectedTab(), ProjectDetailTab::overview);
    EXPECT_EQ(pane->header()->name(), "alpha");
    EXPECT_EQ(pane->model().details()->markdownFiles.size(), 3);
    EXPECT_EQ(pane->commitList()->state(), CommitList::State::rows);
    EXPECT_EQ(pane->commitList()->rows().size(), 8);
    EXPECT_EQ(pane->commitList()->dividerCount(), 7);
    EXPECT_EQ(pane->commitList()->rows().first()->commit().subject, "Commit 8");

    // A refresh of the project list updates the pane; it does not make a new one.
    pane->selectTab(ProjectDetailTab::commits);
    const auto refreshed = std::make_shared<bool>(false);
    app.viewModel().refresh([refreshed] { *refreshed = true; });
    ASSERT_TRUE(waitUntil([refreshed] { return *refreshed; }));
    runQueuedWork();
    EXPECT_EQ(content.detailView(), pane);
    EXPECT_EQ(pane->selectedTab(), ProjectDetailTab::commits);
    pane->selectTab(ProjectDetailTab::overview);

    // Escape returns to the browser.
    // The offscreen platform may have dropped the activation meanwhile.
    window.windowHandle()->requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.windowHandle()));
    QTest::keyClick(pane->header(), Qt::Key_Escape);
    EXPECT_EQ(content.screen(), ContentView::Screen::browser);
    EXPECT_FALSE(content.detailedProjectID().has_value());

    // So does the back button; the pane opens afresh, on Overview again.
    pane = openPane(content);
    ASSERT_NE(pane, nullptr);
    pane->selectTab(ProjectDetailTab::commits);
    pane->header()->findChild<QToolButton *>(QStringLiteral("backButton"))->click();
    EXPECT_EQ(content.screen(), ContentView::Screen::browser);
    pane = openPane(content);
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->selectedTab(), ProjectDetailTab::overview);
}

TEST_F(DetailPaneIntegrationTest, leavingThePaneWhileItLoadsDropsTheLoad)
{
    TolvaranApp app;
    TolvaranWindow &window = app.window();
    window.show();
    ASSERT_TRUE(waitUntil([&app] { return app.viewModel().lastRefreshedAt().has_value(); }));
    ContentView &content = *window.contentView();
    // Leaves and opens again before either load can end: each pane has a model of its own,
    // and the one left behind is stopped and goes with its pane.
    content.openProject(projectPath);
    QPointer<ProjectDetailViewModel> first = &content.detailView()->model();
    content.closeProject();
    content.openProject(projectPath);
    ASSERT_NE(content.detailView(), nullptr);
    EXPECT_NE(&content.detailView()->model(), first.data());
    ASSERT_TRUE(waitUntil([&first] { return first.isNull(); }));
    ASSERT_TRUE(waitUntil([&content] {
        return !content.detailView()->model().isLoadingDetails();
    }));
    // The pane shows a change of its model in a later turn of the event loop.
    EXPECT_TRUE(waitUntil([&content] {
        return content.detailView()->commitList()->rows().size() == 8;
    }));
}

// The teams dashboard stands over the browser and an open pane alike, and closing it returns
// to whichever of the two the window showed.
TEST_F(DetailPaneIntegrationTest, theTeamsDashboardShowsOverTheBrowserAndAnOpenPane)
{
    TolvaranApp app;
    TolvaranWindow &window = app.window();
    window.show();
    ASSERT_TRUE(waitUntil([&app] { return app.viewModel().lastRefreshedAt().has_value(); }));
    ContentView &content = *window.contentView();
    auto *teamButton =
        content.browser()->findChild<ClosureButton *>(QStringLiteral("teamButton"));
    ASSERT_TRUE(waitUntil([teamButton] { return !teamButton->isHidden(); }));
    teamButton->invoke();
    EXPECT_EQ(content.screen(), ContentView::Screen::teams);
    auto *dashboard = content.findChild<TeamsDashboardView *>();
    ASSERT_NE(dashboard, nullptr);
    dashboard->findChild<ClosureButton *>(QStringLiteral("backButton"))->invoke();
    EXPECT_EQ(content.screen(), ContentView::Screen::browser);

    ASSERT_NE(openPane(content), nullptr);
    content.showTeams();
    EXPECT_EQ(content.screen(), ContentView::Screen::teams);
    EXPECT_EQ(content.detailedProjectID(), projectPath);
    content.closeTeams();
    EXPECT_EQ(content.screen(), ContentView::Screen::projectDetail);
}
