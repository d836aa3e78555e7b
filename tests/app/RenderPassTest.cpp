// The browser's render pass over a real coordinator: which cards a change reconfigures, when
// the grid is replaced, and where failures are shown.
#include "app/cards/BrowserEmptyState.h"
#include "widgets/ElidingLabel.h"
#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "app/window/TolvaranViewController.h"
#include "coordinator/CoordinatorWorld.h"
#include "coordinator/actions/ProjectActionServices.h"
#include "support/team/FixedTeamViewSource.h"
#include "support/codex/FakeCodexApplicationController.h"
#include "support/codex/FakeCodexLauncher.h"
#include "support/FakeDesktopServices.h"
#include "support/FakeFolderPicker.h"
#include "support/QtPrinters.h"
#include "support/WaitUntil.h"
#include "team/view/TeamProjectViewSource.h"

#include <QLabel>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

constexpr int projectCount = 30;

// Thirty projects, newest first in reverse name order, on one page ("All"), in a browser
// whose grid shows two columns and scrolls.
class RenderPassTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < projectCount; ++i) {
            const QString name = QStringLiteral("p%1").arg(projectCount - 1 - i, 2, 10,
                                                          QLatin1Char('0'));
            paths.append(world.projectFolder(name));
            world.addThread(QStringLiteral("t-") + name, paths.last(), 100.0 + 60.0 * i);
        }
        world.writeDatabase();
        ProjectListViewModel &model = world.makeModel();
        ASSERT_TRUE(world.refresh());
        model.setPageSize(ProjectPageSize::all);

        browser = std::make_unique<TolvaranViewController>(model, world.team, folderPicker,
                                                           [](const QString &) {});
        grid = browser->collectionView();
        QObject::connect(grid, &ProjectCardGrid::cardConfigured,
                         [this](const QString &id) { configured.append(id); });
        QObject::connect(browser.get(), &TolvaranViewController::rendered,
                         [this] { ++renders; });
        browser->resize(1000, 900);
        browser->show();
        ASSERT_TRUE(waitUntil([this] { return grid->identifiers().size() == projectCount; }));
        ASSERT_EQ(grid->identifiers(), paths);
    }

    // Runs the event loop until a render has run after the change made by `change`.
    void renderAfter(const std::function<void()> &change)
    {
        settle();
        configured.clear();
        const int before = renders;
        change();
        ASSERT_TRUE(waitUntil([&] { return renders > before; }));
        settle();
    }

    // Lets renders queued by earlier changes run out.
    void settle() { runQueuedWork(); }

    CoordinatorWorld world;
    FakeFolderPicker folderPicker;
    QStringList paths; // in the coordinator's order: newest first
    std::unique_ptr<TolvaranViewController> browser;
    ProjectCardGrid *grid = nullptr;
    QStringList configured;
    int renders = 0;
};

} // namespace

TEST_F(RenderPassTest, oneProjectsGitChangeReconfiguresOnlyItsCardAndKeepsTheScrollOffset)
{
    grid->setScrollOffset(600);
    settle();
    const qsizetype index = 8; // in view at this offset
    ASSERT_NE(grid->cardAt(index), nullptr);

    // The token index's passes (twelve rollouts each, two seconds apart) redraw the whole
    // page when they end; counting starts once they are over.
    ASSERT_TRUE(waitUntil([&] {
        return !world.model->tokenUsageSnapshot().indexedAt.isDistantPast()
            && !world.model->isIndexingTokenUsage();
    }));
    settle();
    const qint64 built = browser->cardModelBuildCount();
    renderAfter([&] { world.model->refreshGitStatus(paths[index], true); });
    EXPECT_EQ(configured, QStringList{paths[index]});
    EXPECT_EQ(browser->cardModelBuildCount() - built, 1) << "no other card's values are built";
    EXPECT_EQ(grid->scrollOffset(), 600);
    EXPECT_TRUE(grid->cardAt(index)->model()->gitStatus.has_value());

    // A git status of a project off the page builds nothing; a whole pass builds every card.
    world.model->setPageSize(ProjectPageSize::ten);
    settle();
    const qint64 paged = browser->cardModelBuildCount();
    renderAfter([&] { world.model->refreshGitStatus(paths[20], true); });
    EXPECT_EQ(browser->cardModelBuildCount(), paged);
    EXPECT_TRUE(configured.isEmpty());
}

TEST_F(RenderPassTest, aChangeThatLeavesEveryCardEqualTouchesNoCard)
{
    grid->setScrollOffset(300);
    renderAfter([&] { world.model->setStatusMessage(QStringLiteral("Working")); });
    EXPECT_TRUE(configured.isEmpty());
    EXPECT_EQ(grid->scrollOffset(), 300);
    EXPECT_EQ(grid->identifiers(), paths);
}

TEST_F(RenderPassTest, aNewOrderReplacesThePageAndScrollsToTheTop)
{
    grid->setScrollOffset(900);
    renderAfter([&] { world.model->setSortMode(ProjectSortMode::name); });
    QStringList byName = paths;
    std::reverse(byName.begin(), byName.end());
    EXPECT_EQ(grid->identifiers(), byName);
    EXPECT_EQ(grid->scrollOffset(), 0);
    ASSERT_FALSE(configured.isEmpty());
    EXPECT_EQ(configured.first(), byName.first());
    EXPECT_EQ(grid->cardAt(0)->model()->project.id, byName.first());
}

TEST_F(RenderPassTest, movingTheSelectionReconfiguresTheTwoCardsItConcerns)
{
    renderAfter([&] { world.model->setSelectedProjectID(paths[1]); });
    EXPECT_TRUE(configured.contains(paths[1]));
    EXPECT_EQ(grid->cardAt(1)->frameAppearance().borderWidth, 1.2);

    renderAfter([&] { world.model->setSelectedProjectID(paths[2]); });
    configured.sort();
    EXPECT_EQ(configured, (QStringList{paths[2], paths[1]}));
    EXPECT_EQ(grid->cardAt(1)->frameAppearance().borderWidth, 0.5);
    EXPECT_EQ(grid->cardAt(2)->frameAppearance().borderWidth, 1.2);
}

TEST_F(RenderPassTest, cardsShowTheTeamValuesOfTheirProject)
{
    TeamProjectPeer peer;
    peer.deviceId = QStringLiteral("ana-laptop");
    peer.memberName = QStringLiteral("Ana");
    peer.conflictLevel = TeamConflictLevel::critical;
    peer.project.workSummary = QStringLiteral("Moving the parser");
    fixtures::FixedTeamViewSource team;
    team.summaries.insert(paths[3], TeamProjectSummary{{peer}});

    renderAfter([&] { browser->setTeamViewSource(&team); });
    EXPECT_EQ(configured, QStringList{paths[3]});
    ProjectCardView *card = grid->cardAt(3);
    EXPECT_EQ(card->findChild<ElidingLabel *>(QStringLiteral("workLabel"))->text(),
              QStringLiteral("Ana: Moving the parser"));
    renderAfter([&] { browser->setTeamViewSource(nullptr); });
}

TEST(BrowserEmptyState, loadFailuresShowOnlyWhenThereIsNothingToShow)
{
    const std::optional<QString> none;
    const std::optional<QString> failed = QStringLiteral("Codex database was not found.");
    struct Row
    {
        const char *name;
        std::optional<QString> error;
        bool loading, hasProjects, hasFiltered;
        BrowserEmptyState expected;
    };
    const Row rows[] = {
        {"nothing loaded", failed, false, false, false,
         {"Could not load Codex projects\nCodex database was not found.", none}},
        {"an action failed over a full grid", failed, false, true, true, {none, failed}},
        {"a failure while the filter hides everything", failed, false, true, false,
         {"No projects match the current filters.", failed}},
        {"first load", none, true, false, false, {"Loading projects...", none}},
        {"loading while listed", none, true, true, true, {none, none}},
        {"filtered out", none, false, true, false,
         {"No projects match the current filters.", none}},
        {"listed", none, false, true, true, {none, none}},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(BrowserEmptyState::decide(row.error, row.loading, row.hasProjects,
                                            row.hasFiltered),
                  row.expected)
            << row.name;
    }
}

TEST(RenderPass, anActionsFailureOverAListedGridGoesToTheStatusLine)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    world.addThread(QStringLiteral("t-app"), app, 100);
    world.writeDatabase();
    ProjectActionServices services;
    auto desktop = std::make_unique<FakeDesktopServices>();
    desktop->terminalResult = DesktopActionResult::failure(
        DesktopActionResult::Status::NoTerminal, "No terminal application was found.");
    services.desktop = std::move(desktop);
    services.codexLauncher = std::make_unique<FakeCodexLauncher>();
    services.codexApplication = std::make_unique<FakeCodexApplicationController>();
    ProjectListViewModel &model = world.makeModel({}, std::move(services));
    ASSERT_TRUE(world.refresh());

    FakeFolderPicker folderPicker;
    TolvaranViewController browser(model, world.team, folderPicker, [](const QString &) {});
    browser.resize(900, 700);
    browser.show();
    ProjectCardGrid *grid = browser.collectionView();
    ASSERT_TRUE(waitUntil([grid] { return grid->cardAt(0) != nullptr; }));

    model.openTerminal(app);
    auto *footer = browser.findChild<ElidingLabel *>(QStringLiteral("footerLabel"));
    ASSERT_TRUE(waitUntil([footer] {
        return footer->text().endsWith("Could not open Terminal: No terminal application was "
                                       "found.");
    }));
    EXPECT_TRUE(browser.findChild<QLabel *>(QStringLiteral("emptyLabel"))->isHidden());
    EXPECT_NE(grid->cardAt(0), nullptr);
}

TEST(RenderPass, aCodexThatCannotBeReadWithNothingSavedSaysSoInPlaceOfTheCards)
{
    CoordinatorWorld world;
    ProjectListViewModel &model = world.makeModel();
    FakeFolderPicker folderPicker;
    TolvaranViewController browser(model, world.team, folderPicker, [](const QString &) {});
    browser.resize(900, 700);
    browser.show();
    ASSERT_TRUE(world.refresh());
    auto *empty = browser.findChild<QLabel *>(QStringLiteral("emptyLabel"));
    ASSERT_TRUE(waitUntil([empty] {
        return !empty->isHidden() && empty->text().startsWith("Could not load Codex projects\n");
    }));
    EXPECT_EQ(browser.collectionView()->identifiers(), QStringList());
}
