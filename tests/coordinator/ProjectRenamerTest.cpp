#include "CoordinatorDouble.h"

#include "coordinator/actions/ProjectRenamer.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "support/codex/FakeCodexApplicationController.h"
#include "support/codex/FakeCodexHome.h"
#include "support/QtPrinters.h"
#include "support/TemporaryHome.h"

#include <gtest/gtest.h>

using namespace tolvaran;
using fixtures::FakeCodexHome;

namespace {

const QString api = QStringLiteral("/p/api");
const QString projectID = QStringLiteral("proj-api");
const QString checking = QStringLiteral("Checking Codex activity...");
const QString closing = QStringLiteral("Closing Codex to rename api...");

class RenameWorld : public ::testing::Test
{
protected:
    RenameWorld()
    {
        codexApplication.running = {codexInstance};
        codex.writeGlobalState(FakeCodexHome::globalStateObject(
            {}, {}, {{projectID, {api}, QStringLiteral("api")}}));
        catalog.rememberProject(api, QStringLiteral("api"), now);
        coordinator.onRefresh = [this] {
            codexRanDuringRefresh = !codexApplication.runningInstances().isEmpty();
        };
    }

    // A thread in another project, last updated `hoursAgo`, whose last turn started and whose
    // Codex still runs it (or was killed meanwhile).
    void addWorkingThread(double hoursAgo, bool codexKilled = false)
    {
        fixtures::FakeCodexThread thread;
        thread.id = QStringLiteral("busy");
        thread.cwd = QStringLiteral("/p/other");
        thread.createdAt = thread.updatedAt = now.addingSeconds(-3600 * hoursAgo);
        codex.addThread(thread);
        codex.writeRollout(thread.id, FakeCodexHome::threadOpening(thread.createdAt, thread.id,
                                                                   thread.cwd)
                                          + FakeCodexHome::turn(thread.createdAt, "Go",
                                                                fixtures::FakeTurnEnd::running));
        codex.keepRunning(thread.id);
        if (codexKilled)
            codex.killCodex(thread.id);
    }

    // Renames the project and waits for the outcome.
    void rename(const QString &name, std::optional<QString> id = projectID)
    {
        bool done = false;
        renamer.renameProject(CodexProject(api, {}, false, {}, {}, id, "api"), name,
                              [&] { done = true; });
        ASSERT_TRUE(fixtures::waitUntil([&] { return done; }));
    }

    QString nameInCodex() const
    {
        return codex.globalState()
            .value(QStringLiteral("local-projects"))
            .toObject()
            .value(projectID)
            .toObject()
            .value(QStringLiteral("name"))
            .toString();
    }

    QString nameInCatalog() const { return catalog.loadProjects(false).value(0).name(); }

    Timestamp now = Timestamp::now();
    const CodexApplicationInstance codexInstance{4242, 77, "/opt/codex/codex-desktop",
                                                 {"--no-sandbox"}, "/home/user"};
    fixtures::TemporaryHome home;
    FakeCodexHome codex{home.filePath(QStringLiteral(".codex"))};
    CodexStore store{codex.databasePath(), codex.sessionIndexPath(),
                     CodexTurnLiveness::forCodexHome(codex.path())};
    CodexGlobalStateStore globalState{codex.globalStatePath()};
    ProjectCatalogStore catalog{home.filePath(QStringLiteral("support"))};
    fixtures::FakeCodexApplicationController codexApplication;
    fixtures::CoordinatorDouble coordinator;
    std::optional<bool> codexRanDuringRefresh;
    ProjectRenamer renamer{coordinator.access(),
                           {store, globalState, catalog, codexApplication},
                           [this] { return now; }};
};

} // namespace

TEST_F(RenameWorld, codexIsClosedAroundTheWriteAndReopenedAfterTheRefresh)
{
    codex.writeDatabase();
    rename(QStringLiteral("  New Name \n"));
    EXPECT_EQ(coordinator.statusMessages,
              QStringList({checking, closing, "Renamed project to New Name."}));
    EXPECT_EQ(nameInCodex(), QStringLiteral("New Name"));
    EXPECT_EQ(nameInCatalog(), QStringLiteral("New Name"));
    EXPECT_EQ(coordinator.refreshCount, 1);
    EXPECT_EQ(codexRanDuringRefresh, false);
    EXPECT_EQ(codexApplication.reopened, QList<CodexApplicationInstance>{codexInstance});
    EXPECT_EQ(codexApplication.running, QList<CodexApplicationInstance>{codexInstance});
    EXPECT_FALSE(renamer.isRenaming());
}

TEST_F(RenameWorld, withCodexNotRunningNothingIsStarted)
{
    codex.writeDatabase();
    codexApplication.running.clear();
    rename(QStringLiteral("New Name"));
    EXPECT_EQ(coordinator.statusMessage(), QStringLiteral("Renamed project to New Name."));
    EXPECT_EQ(nameInCodex(), QStringLiteral("New Name"));
    EXPECT_EQ(coordinator.refreshCount, 1);
    EXPECT_TRUE(codexApplication.reopened.isEmpty());
}

TEST_F(RenameWorld, anInstanceThatNeverQuitsStopsTheRenameAndIsLeftAlone)
{
    codex.writeDatabase();
    codexApplication.refusingToQuit = {codexInstance.processId};
    rename(QStringLiteral("New Name"));
    EXPECT_EQ(coordinator.statusMessages,
              QStringList({checking, closing,
                           "Codex did not close, so the project was not renamed. Close Codex "
                           "and try again."}));
    EXPECT_EQ(nameInCodex(), QStringLiteral("api"));
    EXPECT_EQ(nameInCatalog(), QStringLiteral("api"));
    EXPECT_EQ(coordinator.refreshCount, 0);
    EXPECT_TRUE(codexApplication.reopened.isEmpty());
}

TEST_F(RenameWorld, nothingIsClosedForAnInvalidNameOrAProjectWithoutARecord)
{
    codex.writeDatabase();
    struct Row
    {
        QString name;
        std::optional<QString> id;
        QString status;
    };
    const QString invalid = QStringLiteral("Enter a project name between 1 and 80 characters.");
    const Row rows[] = {
        {QString(81, QLatin1Char('x')), projectID, invalid},
        {QStringLiteral(" \n "), projectID, invalid},
        {QStringLiteral("Fine"), std::nullopt,
         QStringLiteral("Codex has not assigned this project an editable project record yet.")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        coordinator.statusMessages.clear();
        rename(row.name, row.id);
        EXPECT_EQ(coordinator.statusMessages, QStringList{row.status});
    }
    EXPECT_EQ(codexApplication.quitAllCalls, 0);
    EXPECT_EQ(nameInCodex(), QStringLiteral("api"));
}

TEST_F(RenameWorld, recentWorkInAnyProjectBlocksTheRename)
{
    addWorkingThread(1);
    codex.writeDatabase();
    rename(QStringLiteral("New Name"));
    EXPECT_EQ(coordinator.statusMessages,
              QStringList({checking, "Codex is working. Wait for all active tasks to finish "
                                     "before renaming a project."}));
    EXPECT_EQ(codexApplication.quitAllCalls, 0);
    EXPECT_EQ(nameInCodex(), QStringLiteral("api"));
}

TEST_F(RenameWorld, workLastSeenMoreThanADayAgoDoesNotBlock)
{
    addWorkingThread(25);
    codex.writeDatabase();
    rename(QStringLiteral("New Name"));
    EXPECT_EQ(coordinator.statusMessage(), QStringLiteral("Renamed project to New Name."));
}

TEST_F(RenameWorld, aTurnWhoseCodexWasKilledDoesNotBlock)
{
    addWorkingThread(1, true);
    codex.writeDatabase();
    rename(QStringLiteral("New Name"));
    EXPECT_EQ(coordinator.statusMessage(), QStringLiteral("Renamed project to New Name."));
    EXPECT_EQ(nameInCodex(), QStringLiteral("New Name"));
}

TEST_F(RenameWorld, aFailedWriteReopensCodexAndSkipsTheRefresh)
{
    codex.writeDatabase();
    codex.writeGlobalState(FakeCodexHome::globalStateObject({}, {}, {}));
    rename(QStringLiteral("New Name"));
    EXPECT_EQ(coordinator.statusMessage(),
              QStringLiteral("Codex could not find this project record."));
    EXPECT_EQ(coordinator.refreshCount, 0);
    EXPECT_EQ(codexApplication.reopened, QList<CodexApplicationInstance>{codexInstance});
    EXPECT_EQ(nameInCatalog(), QStringLiteral("api"));
}

TEST_F(RenameWorld, aFailedReopenIsTriedOnceMoreAndReported)
{
    codex.writeDatabase();
    codexApplication.reopenResult = DesktopActionResult::failure(
        DesktopActionResult::Status::StartFailed, QStringLiteral("Codex could not be started."));
    rename(QStringLiteral("New Name"));
    EXPECT_EQ(coordinator.statusMessage(), QStringLiteral("Codex could not be started."));
    EXPECT_EQ(codexApplication.reopened.size(), 2);
    EXPECT_EQ(nameInCodex(), QStringLiteral("New Name"));
}

TEST_F(RenameWorld, oneRenameAtATime)
{
    codex.writeDatabase();
    bool first = false;
    renamer.renameProject(CodexProject(api, {}, false, {}, {}, projectID, "api"), "First",
                          [&] { first = true; });
    rename(QStringLiteral("Second"));
    EXPECT_EQ(coordinator.statusMessage(),
              QStringLiteral("Another project is being renamed. Try again when it is done."));
    ASSERT_TRUE(fixtures::waitUntil([&] { return first; }));
    EXPECT_EQ(coordinator.statusMessage(), QStringLiteral("Renamed project to First."));
    EXPECT_EQ(codexApplication.quitAllCalls, 1);
    EXPECT_EQ(nameInCodex(), QStringLiteral("First"));
}
