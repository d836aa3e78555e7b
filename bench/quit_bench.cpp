// Times quitting (destroying the coordinator) while slow work runs: a rename that waits for
// Codex to let go of its files, and a git run that never answers. Each is printed beside the
// wait the work would otherwise have cost: Codex's quit poll (up to 100 waits of 100 ms plus
// 350 ms to settle) and git's time limit.
#include "coordinator/ProjectListViewModel.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "data/git/GitRunner.h"
#include "helpers/NullTeamWorkspace.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/git/ProjectMetadataCache.h"
#include "data/git/ProjectRepositoryStore.h"
#include "data/catalog/ProjectTagStore.h"
#include "data/token_usage/TokenUsageStore.h"
#include "platform/storage/KeyValueStore.h"
#include "platform/desktop/SystemCodexApplicationController.h"
#include "support/BenchFigures.h"
#include "support/codex/FakeCodexApplicationController.h"
#include "support/codex/FakeCodexHome.h"
#include "support/codex/FakeCodexLauncher.h"
#include "support/FakeDesktopServices.h"
#include "support/GitDouble.h"
#include "support/StoreSet.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace tolvaran::fixtures::bench;

namespace {

const QString chatID = QStringLiteral("019a0000-0000-7000-8000-000000000001");
constexpr int rounds = 5;

struct World
{
    explicit World(const QString &git)
        : codex(home.filePath(QStringLiteral(".codex")))
        , support(home.filePath(QStringLiteral("support")))
        , defaults(home.filePath(QStringLiteral("defaults.conf")))
        , cache(support)
    {
        app = home.filePath(QStringLiteral("projects/app"));
        QDir().mkpath(app);
        FakeCodexThread thread;
        thread.id = chatID;
        thread.cwd = app;
        thread.title = QStringLiteral("Chat");
        thread.createdAt = Timestamp::now().addingSeconds(-200);
        thread.updatedAt = Timestamp::now().addingSeconds(-100);
        thread.recencyAt = thread.updatedAt;
        codex.addThread(thread);
        codex.writeDatabase({});
        codex.writeGlobalState(FakeCodexHome::globalStateObject(
            {}, {}, {{QStringLiteral("proj-app"), {app}, QStringLiteral("app")}}));

        ProjectActionServices services;
        services.desktop = std::make_unique<FakeDesktopServices>();
        services.codexLauncher = std::make_unique<FakeCodexLauncher>();
        auto application = std::make_unique<FakeCodexApplicationController>();
        codexApplication = application.get();
        services.codexApplication = std::move(application);
        stores = std::make_unique<StoreSet>(codex, support, defaults, git, false);
        model = std::make_unique<ProjectListViewModel>(
            stores->listStores(team, cache),
            std::move(services));
        bool done = false;
        model->refresh([&] { done = true; });
        waitUntil([&] { return done; });
    }

    TemporaryHome home;
    FakeCodexHome codex;
    QString support;
    KeyValueStore defaults;
    ProjectMetadataCache cache;
    NullTeamWorkspace team;
    QString app;
    FakeCodexApplicationController *codexApplication = nullptr;
    std::unique_ptr<StoreSet> stores;
    std::unique_ptr<ProjectListViewModel> model;
};

double quitDuringRename()
{
    World world({});
    world.codexApplication->running = {{7, 1, QStringLiteral("/opt/codex/codex"), {}, {}}};
    world.codexApplication->lingersUntilStopped = true;
    world.model->renameProject(world.model->project(world.app).value(), QStringLiteral("New"));
    if (!waitUntil([&] { return world.codexApplication->isLingering.load(); }))
        std::fprintf(stderr, "the rename never reached the wait for Codex\n");
    return milliseconds([&] { world.model.reset(); });
}

double quitDuringGitRun()
{
    TemporaryHome folder;
    const QString pids = folder.filePath(QStringLiteral("git.pids"));
    QDir().mkpath(folder.filePath(QStringLiteral("bin")));
    World world(GitDouble::hanging(folder.filePath(QStringLiteral("bin")), pids));
    world.model->refreshGitStatus(world.app, true);
    if (!waitUntil([&] {
            QFile file(pids);
            return file.open(QIODevice::ReadOnly) && file.readAll().count('\n') >= 2;
        }))
        std::fprintf(stderr, "git never started\n");
    return milliseconds([&] { world.model.reset(); });
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const SystemCodexApplicationController::QuitTiming timing;
    const double codexWait = double(timing.pollInterval.count() * timing.pollLimit
                                    + timing.settleTime.count());
    std::printf("quit while a rename waits for Codex, median of %d %8.1f ms   "
                "Codex's quit wait, up to %8.1f ms\n",
                rounds, median(rounds, quitDuringRename), codexWait);
    std::printf("quit while a git run hangs, median of %d       %8.1f ms   "
                "git's time limit %8.1f ms\n",
                rounds, median(rounds, quitDuringGitRun),
                double(Internal::GitRunner::timeLimitMilliseconds));
    return 0;
}
