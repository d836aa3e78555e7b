// Times the coordinator's refresh cycle. First a full refresh of a fake Codex home of 10,000
// threads in 300 projects (Codex's threads, the global state, processing state, the catalog's
// synchronisation and the published list), beside the sqlite3 command-line tool reading the
// same rows. Then the delay from an append to a watched rollout file to the published
// processing state, twenty times, beside the floor the event path sets: the monitor's latency
// (0.4 s) and the debounce after the last event (0.5 s). The monitor hands over the first
// change after a quiet spell at once, so a lone append waits out the debounce alone. A
// stand-in Codex holds the rollout open meanwhile: a started turn counts as processing only
// while a process has its rollout open, as Codex has while it works.
#include "coordinator/ProjectListViewModel.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "helpers/NullTeamWorkspace.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/git/ProjectMetadataCache.h"
#include "data/git/ProjectRepositoryStore.h"
#include "data/catalog/ProjectTagStore.h"
#include "data/token_usage/TokenUsageStore.h"
#include "platform/storage/KeyValueStore.h"
#include "support/BenchFigures.h"
#include "support/codex/FakeCodexHome.h"
#include "support/codex/RolloutLines.h"
#include "support/StoreSet.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace tolvaran::fixtures::bench;
using namespace std::chrono_literals;

namespace {

constexpr int threadCount = 10000;
constexpr int rolloutCount = 2000;
constexpr int projectCount = 300;
constexpr int refreshRuns = 5;
constexpr int processingRounds = 20;
constexpr double loneAppendFloorSeconds =
    double(ProjectListViewModel::codexEventDebounce.count()) / 1000.0;
constexpr double eventPathFloorSeconds =
    ProjectListViewModel::codexMonitorLatency + loneAppendFloorSeconds;


// A coordinator over a fake home. `indexTokens` false gives the token index no location, so
// that its passes (thousands of rollout files, twelve at a time) do not run beside the
// refreshes being timed.
struct World
{
    World(const QString &codexHome, bool indexTokens)
        : codex(codexHome)
        , support(home.filePath(QStringLiteral("support")))
        , defaults(home.filePath(QStringLiteral("defaults.conf")))
        , cache(support)
    {
        stores = std::make_unique<StoreSet>(codex, support, defaults, QString(), indexTokens);
        model = std::make_unique<ProjectListViewModel>(stores->listStores(team, cache));
    }

    bool await(const std::function<void(ProjectListViewModel::Completion)> &operation)
    {
        const auto done = std::make_shared<bool>(false);
        operation([done] { *done = true; });
        return waitUntil([done] { return *done; }, 600s);
    }

    TemporaryHome home;
    FakeCodexHome codex;
    QString support;
    KeyValueStore defaults;
    ProjectMetadataCache cache;
    NullTeamWorkspace team;
    std::unique_ptr<StoreSet> stores;
    std::unique_ptr<ProjectListViewModel> model;
};

void benchFullRefresh()
{
    TemporaryHome folder;
    World world(folder.filePath(QStringLiteral(".codex")), false);
    FakeCodexGeneration generation;
    generation.threadCount = threadCount;
    generation.rolloutCount = rolloutCount;
    generation.projectCount = projectCount;
    world.codex.generate(generation);
    world.codex.writeDatabase({{}, FakeCodexLogState::rowsOnlyInLog});

    std::vector<double> samples;
    for (int run = 0; run <= refreshRuns; ++run) {
        const double elapsed = milliseconds(
            [&] { world.await([&](auto done) { world.model->refresh(std::move(done)); }); });
        if (run == 0) {
            std::printf("first full refresh %8.1f ms (%lld projects, %lld chats; fills the "
                        "catalog, reads every rollout's tail)\n",
                        elapsed, static_cast<long long>(world.model->projects().size()),
                        static_cast<long long>(world.model->threadTotal()));
        } else {
            samples.push_back(elapsed);
        }
    }
    std::vector<double> tool;
    for (int run = 0; run < refreshRuns; ++run)
        tool.push_back(sqliteToolMilliseconds(world.codex.databasePath()));
    std::printf("full refresh, median of %d %8.1f ms   sqlite3 tool, same rows %8.1f ms\n",
                refreshRuns, percentile(samples, 0.5), percentile(tool, 0.5));
}

void benchProcessingDelay()
{
    TemporaryHome folder;
    World world(folder.filePath(QStringLiteral(".codex")), true);
    const QString project = folder.filePath(QStringLiteral("projects/app"));
    QDir().mkpath(project);
    const Timestamp now = Timestamp::now();
    FakeCodexThread thread;
    thread.id = QStringLiteral("019c0000-0000-7000-8000-000000000001");
    thread.cwd = project;
    thread.createdAt = now.addingSeconds(-120);
    thread.updatedAt = now.addingSeconds(-60);
    world.codex.addThread(thread);
    world.codex.writeRollout(thread.id,
                             FakeCodexHome::threadOpening(thread.createdAt, thread.id, project)
                                 + FakeCodexHome::turn(thread.updatedAt, QStringLiteral("Start"),
                                                       FakeTurnEnd::completed));
    world.codex.writeDatabase();
    world.codex.keepRunning(thread.id);
    world.await([&](auto done) { world.model->startMonitoring(std::move(done)); });

    const auto processing = [&] { return world.model->processingProjectCount() == 1; };
    // The monitor sets its watches up on its own thread: append until the first one counts.
    QDeadlineTimer ready(60s);
    do {
        world.codex.appendRolloutLines(thread.id, rollout::taskStarted(Timestamp::now()));
    } while (!waitUntil(processing, 2s) && !ready.hasExpired());

    std::vector<double> samples;
    for (int round = 0; round < processingRounds; ++round) {
        world.codex.appendRolloutLines(thread.id, rollout::taskComplete(Timestamp::now()));
        waitUntil([&] { return !processing(); }, 30s);
        processEventsFor(1200ms); // the monitor and the debounce fall quiet
        QElapsedTimer timer;
        timer.start();
        world.codex.appendRolloutLines(thread.id, rollout::taskStarted(Timestamp::now()));
        if (!waitUntil(processing, 30s)) {
            std::fprintf(stderr, "the processing state never arrived\n");
            return;
        }
        samples.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::printf("rollout append to published processing state, %d rounds: p50 %.3f s, "
                "p95 %.3f s   (latency and debounce floor %.1f s; %.1f s for a lone append)\n",
                processingRounds, percentile(samples, 0.5), percentile(samples, 0.95),
                eventPathFloorSeconds, loneAppendFloorSeconds);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    benchFullRefresh();
    benchProcessingDelay();
    return 0;
}
