#include "CoordinatorWorld.h"

#include "support/codex/FakeCodexApplicationController.h"
#include "support/codex/FakeCodexLauncher.h"
#include "support/FakeDesktopServices.h"
#include "support/GitDouble.h"
#include "support/WaitUntil.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

const QString chatID = QStringLiteral("019a0000-0000-7000-8000-000000000001");

// Quitting the program is destroying the coordinator: it must end without waiting for the work
// that runs (a wait for Codex to let go of its files, a git that never answers), and leave
// Codex running as it found it. Under the sanitizers, a job that touched the destroyed
// coordinator would fail the test.
class QuitWhileWorking : public ::testing::Test
{
protected:
    void makeModel(const QString &git = {})
    {
        app = world.projectFolder(QStringLiteral("app"));
        world.addThread(chatID, app, 100);
        world.writeDatabase();
        world.codex.writeGlobalState(FakeCodexHome::globalStateObject(
            {}, {}, {{QStringLiteral("proj-app"), {app}, QStringLiteral("app")}}));
        ProjectActionServices services;
        services.desktop = std::make_unique<FakeDesktopServices>();
        services.codexLauncher = std::make_unique<FakeCodexLauncher>();
        auto application = std::make_unique<FakeCodexApplicationController>();
        codexApplication = application.get();
        application->onReopen = [this](const CodexApplicationInstance &instance) {
            reopened << instance;
        };
        services.codexApplication = std::move(application);
        world.makeModel(git, std::move(services));
        ASSERT_TRUE(world.refresh());
    }

    CoordinatorWorld world;
    FakeCodexApplicationController *codexApplication = nullptr;
    QString app;
    QList<CodexApplicationInstance> reopened; // outlives the double, which the model owns
};

} // namespace

TEST_F(QuitWhileWorking, duringARenameThatWaitsForCodexTheWaitEndsAndCodexIsReopened)
{
    makeModel();
    const CodexApplicationInstance codex{7, 1, QStringLiteral("/opt/codex/codex"), {}, {}};
    codexApplication->running = {codex};
    codexApplication->lingersUntilStopped = true; // the wait would never end on its own
    bool renameEnded = false;
    world.model->renameProject(world.model->project(app).value(), QStringLiteral("Renamed"),
                               [&] { renameEnded = true; });
    ASSERT_TRUE(waitUntil([&] { return codexApplication->isLingering.load(); }));

    world.model.reset(); // returns: the wait was stopped

    EXPECT_FALSE(renameEnded) << "no completion runs once the coordinator is gone";
    EXPECT_EQ(reopened, QList<CodexApplicationInstance>{codex});
}

TEST_F(QuitWhileWorking, duringARenameThatReadsTheNewNameCodexIsReopened)
{
    makeModel();
    const CodexApplicationInstance codex{7, 1, QStringLiteral("/opt/codex/codex"), {}, {}};
    codexApplication->running = {codex};
    // Quits while the rename's refresh runs, with Codex closed and the name written.
    world.model->renameProject(world.model->project(app).value(), QStringLiteral("Renamed"));
    ASSERT_TRUE(waitUntil([&] { return codexApplication->runningInstances().isEmpty(); }));
    ASSERT_TRUE(waitUntil([&] {
        return world.model->statusMessage() != QStringLiteral("Closing Codex to rename app...");
    }));

    world.model.reset();

    EXPECT_EQ(reopened, QList<CodexApplicationInstance>{codex})
        << "started again exactly once, whichever step the rename had reached";
}

TEST_F(QuitWhileWorking, whileAGitRunHangsGitIsEndedAtOnce)
{
    const QString pids = world.home.filePath(QStringLiteral("git.pids"));
    makeModel(GitDouble::hanging(world.projectFolder(QStringLiteral("bin")), pids));
    world.model->refreshGitStatus(app, true);
    ASSERT_TRUE(waitUntil([&] {
        QFile file(pids);
        return file.open(QIODevice::ReadOnly) && file.readAll().count('\n') >= 2;
    }));

    world.model.reset(); // returns before git's own time limit would have ended it

    QFile file(pids);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty()) {
            EXPECT_TRUE(GitDouble::processEnds(line.toLongLong()));
        }
    }
}
