// A heavy user's home: 10,000 threads in 300 projects with about 2.2 GB of rollout files,
// generated into the folder given on the command line (and reused from there when a previous
// run completed it). Prints, each beside its reference measured in the same run:
//   - one unpaced token-usage pass over every rollout, beside `cat` of the same files, one
//     process per core;
//   - the CPU time of a whole paced first index (passes only, back to back), beside that of
//     the unpaced pass;
//   - a token-usage pass with nothing new;
//   - a full refresh of the coordinator, beside the sqlite3 tool's scan of the same rows;
//   - the resident set of a coordinator with token usage after the first index (in a child
//     process of this program, so that nothing measured before weighs in), and that of the
//     program itself (window and all, on the offscreen platform) a minute after its start on
//     the home, its token index complete. The program is looked for beside the benchmarks'
//     folder (src/tolvaran in the build tree).
//
//   heavy_home_bench FOLDER [--only-index | --only-unpaced | --only-refresh]
//   heavy_home_bench FOLDER --only-resident INDEX-FOLDER
#include "coordinator/ProjectListViewModel.h"
#include "helpers/NullTeamWorkspace.h"
#include "data/git/ProjectMetadataCache.h"
#include "data/token_usage/TokenUsageStore.h"
#include "helpers/ResidentSet.h"
#include "platform/storage/KeyValueStore.h"
#include "support/BenchFigures.h"
#include "support/codex/FakeCodexHome.h"
#include "support/codex/HeavyCodexHome.h"
#include "support/StoreSet.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include <sys/resource.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace tolvaran::fixtures::bench;
using namespace std::chrono_literals;

namespace {

constexpr int throughputRuns = 3;
constexpr int unchangedPassRuns = 9;
constexpr int refreshRuns = 5;
constexpr double nothingNewGoalMilliseconds = 10.0;
constexpr double pacedIndexGoalSeconds = 5.0;
constexpr double residentGoalMegabytes = 150.0;
constexpr auto residentSettleTime = 5s;
constexpr auto programRunTime = 60s;
constexpr auto awaitLimit = 600s;
const char *const residentSwitch = "--resident-child";

double megabytes(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall time of `cat` over `paths`, one process per core, each given files of about the same
// total size, its output thrown away.
double parallelCatMilliseconds(const QStringList &paths)
{
    const int processes = int(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::pair<qint64, QString>> sized;
    for (const QString &path : paths)
        sized.emplace_back(QFileInfo(path).size(), path);
    std::sort(sized.begin(), sized.end(), std::greater<>());
    std::vector<QStringList> groups;
    groups.resize(size_t(processes));
    std::vector<qint64> loads(size_t(processes), qint64(0));
    for (const auto &[size, path] : sized) {
        const auto least = std::min_element(loads.begin(), loads.end()) - loads.begin();
        groups[size_t(least)].append(path);
        loads[size_t(least)] += size;
    }
    return milliseconds([&] {
        std::vector<std::unique_ptr<QProcess>> cats;
        for (const QStringList &group : groups) {
            auto cat = std::make_unique<QProcess>();
            cat->setStandardOutputFile(QProcess::nullDevice());
            cat->start(QStringLiteral("cat"), group);
            cats.push_back(std::move(cat));
        }
        for (auto &cat : cats)
            cat->waitForFinished(-1);
    });
}

struct IndexFigures
{
    QString completeIndex; // a folder holding an index of every rollout
};

IndexFigures benchTokenIndex(const HeavyCodexHome &home, const QList<CodexThread> &threads,
                             const QString &scratch, bool unpacedOnly)
{
    const QStringList paths = home.rolloutPaths();
    const qint64 bytes = home.rolloutBytes();
    parallelCatMilliseconds(paths); // the page cache now holds the files for every figure

    std::vector<double> passTimes, passCpu, catTimes;
    for (int run = 0; run < throughputRuns; ++run) {
        const QString folder = scratch + QStringLiteral("/unpaced-%1").arg(run);
        TokenUsageStore store(folder);
        store.setNewRolloutsPerRefresh(int(threads.size()));
        const double cpuBefore = cpuSeconds();
        passTimes.push_back(milliseconds([&] { store.refresh(threads, Timestamp::now()); }));
        passCpu.push_back(cpuSeconds() - cpuBefore);
        QDir(folder).removeRecursively();
        catTimes.push_back(parallelCatMilliseconds(paths));
    }
    const double passRate = megabytes(bytes) / (percentile(passTimes, 0.5) / 1000.0);
    const double catRate = megabytes(bytes) / (percentile(catTimes, 0.5) / 1000.0);
    std::printf("one unpaced pass over %.0f MB        %8.0f MB/s (%.2f s)   cat, one per core "
                "%8.0f MB/s (%.2f s)   ratio %.2f (goal: at least 0.5)\n",
                megabytes(bytes), passRate, percentile(passTimes, 0.5) / 1000.0, catRate,
                percentile(catTimes, 0.5) / 1000.0, passRate / catRate);
    if (unpacedOnly)
        return {};

    IndexFigures figures;
    figures.completeIndex = scratch + QStringLiteral("/paced");
    // As in the program while its monitor of Codex's folder runs: nothing changes on disk, so
    // no rollout is named as changed.
    TokenUsageStore store(figures.completeIndex);
    store.setRolloutChangesWatched(true);
    int passes = 0;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    TokenUsageSnapshot snapshot;
    do {
        snapshot = store.refresh(threads, Timestamp::now());
        ++passes;
    } while (snapshot.pendingRolloutCount > 0);
    const double pacedCpu = cpuSeconds() - cpuBefore;
    std::printf("paced first index, %4d passes, CPU %8.2f s (wall %.1f s)   unpaced pass CPU "
                "%.2f s   (goal: under %.0f s)\n",
                passes, pacedCpu, double(wall.elapsed()) / 1000.0, percentile(passCpu, 0.5),
                pacedIndexGoalSeconds);

    std::vector<double> unchanged;
    for (int run = 0; run < unchangedPassRuns; ++run)
        unchanged.push_back(milliseconds([&] { store.refresh(threads, Timestamp::now()); }));
    store.setRolloutChangesWatched(false);
    store.refresh(threads, Timestamp::now());
    std::vector<double> unwatched;
    for (int run = 0; run < unchangedPassRuns; ++run)
        unwatched.push_back(milliseconds([&] { store.refresh(threads, Timestamp::now()); }));
    const TokenUsageStore restarted(figures.completeIndex);
    const double afterStart =
        milliseconds([&] { restarted.refresh(threads, Timestamp::now()); });
    const double restartedNext =
        milliseconds([&] { restarted.refresh(threads, Timestamp::now()); });
    std::printf("pass with nothing new, median of %d %8.1f ms   (goal: under %.0f ms; without "
                "the monitor's changes %.1f ms; first after a start %.0f ms, the next %.1f ms)\n",
                unchangedPassRuns, percentile(unchanged, 0.5), nothingNewGoalMilliseconds,
                percentile(unwatched, 0.5), afterStart, restartedNext);
    return figures;
}

// A coordinator over the home. Without `indexTokens` the token index has no location; with
// it, the index is the one in `support` (a copy of a complete one, when given).
struct World
{
    World(const HeavyCodexHome &heavy, bool indexTokens, const QString &completeIndex = {})
        : codex(heavy.path())
        , support(home.filePath(QStringLiteral("support")))
        , defaults(home.filePath(QStringLiteral("defaults.conf")))
        , cache(support)
    {
        if (!completeIndex.isEmpty()) {
            QDir().mkpath(support);
            QFile::copy(completeIndex + QLatin1Char('/') + TokenUsageStore::databaseFileName(),
                        support + QLatin1Char('/') + TokenUsageStore::databaseFileName());
        }
        stores = std::make_unique<StoreSet>(codex, support, defaults, QString(), indexTokens);
        model = std::make_unique<ProjectListViewModel>(stores->listStores(team, cache));
    }

    // Runs the event loop until `operation` completes: polling would add its own interval to
    // every refresh timed.
    bool await(const std::function<void(ProjectListViewModel::Completion)> &operation)
    {
        QEventLoop loop;
        const auto done = std::make_shared<bool>(false);
        operation([done, &loop] {
            *done = true;
            loop.quit();
        });
        if (!*done) {
            QTimer::singleShot(awaitLimit, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return *done;
    }

    TemporaryHome home;
    FakeCodexHome codex; // the heavy home's folder, for the stores' paths
    QString support;
    KeyValueStore defaults;
    ProjectMetadataCache cache;
    NullTeamWorkspace team;
    std::unique_ptr<StoreSet> stores;
    std::unique_ptr<ProjectListViewModel> model;
};

void benchFullRefresh(const HeavyCodexHome &codex)
{
    World world(codex, false);
    // The first refresh starts the monitors, as the program's start does: the refreshes after
    // it look at the rollouts the Codex monitor reports changed.
    const double first = milliseconds([&] {
        world.await([&](auto done) { world.model->startMonitoring(std::move(done)); });
    });
    std::vector<double> samples;
    for (int run = 0; run < refreshRuns; ++run) {
        samples.push_back(milliseconds(
            [&] { world.await([&](auto done) { world.model->refresh(std::move(done)); }); }));
    }
    std::vector<double> tool;
    for (int run = 0; run < refreshRuns; ++run)
        tool.push_back(sqliteToolMilliseconds(codex.databasePath()));
    const double median = percentile(samples, 0.5);
    const double reference = percentile(tool, 0.5);
    std::printf("full refresh, median of %d %8.1f ms   sqlite3 tool, same rows %8.1f ms   "
                "ratio %.2f (goal: at most 2; the first refresh %.0f ms, %lld projects)\n",
                refreshRuns, median, reference, median / reference, first,
                static_cast<long long>(world.model->projects().size()));
}

// In the child: a coordinator over the home whose token index is complete, as after the
// first index; prints the resident set once its first refresh and token pass are done.
int residentChild(const QString &folder, const QString &completeIndex)
{
    const HeavyCodexHome codex(folder);
    World world(codex, true, completeIndex);
    world.await([&](auto done) { world.model->refresh(std::move(done)); });
    waitUntil([&] { return !world.model->isIndexingTokenUsage()
                           && world.model->tokenUsageSnapshot().global.indexedTokens > 0; },
              600s);
    processEventsFor(residentSettleTime);
    const ResidentSet resident = residentSet();
    std::printf("resident set after the first index %8.0f MiB (peak %.0f MiB)   (goal: under "
                "%.0f MB)\n",
                resident.current, resident.peak, residentGoalMegabytes);
    return 0;
}

// Runs the program on the home for a minute, its own folders in a scratch home and its token
// index a copy of `completeIndex`, and prints its resident set then.
void benchProgram(const HeavyCodexHome &codex, const QString &completeIndex)
{
    const QString program = QCoreApplication::applicationDirPath()
        + QStringLiteral("/../src/tolvaran");
    if (!QFileInfo(program).isExecutable()) {
        std::printf("resident set of the program: not measured (no %s)\n", qPrintable(program));
        return;
    }
    TemporaryHome scratch;
    const QString data = scratch.filePath(QStringLiteral("data"));
    QDir().mkpath(data + QStringLiteral("/Tolvaran"));
    QFile::copy(completeIndex + QLatin1Char('/') + TokenUsageStore::databaseFileName(),
                data + QStringLiteral("/Tolvaran/") + TokenUsageStore::databaseFileName());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), scratch.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       scratch.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                       scratch.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("CODEX_HOME"), codex.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess run;
    run.setProcessEnvironment(environment);
    run.setStandardOutputFile(QProcess::nullDevice());
    run.setStandardErrorFile(QProcess::nullDevice());
    run.start(program, {});
    if (!run.waitForStarted()) {
        std::printf("resident set of the program: could not start %s\n", qPrintable(program));
        return;
    }
    processEventsFor(programRunTime);
    const ResidentSet resident = residentSet(run.processId());
    run.kill();
    run.waitForFinished();
    std::printf("resident set of the program a minute after its start %6.0f MiB (peak %.0f MiB)"
                "   (goal: under %.0f MB)\n",
                resident.current, resident.peak, residentGoalMegabytes);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String(residentSwitch))
        return residentChild(arguments[2], arguments[3]);
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: heavy_home_bench FOLDER [--only-index | --only-unpaced | "
                             "--only-refresh]\n");
        return 2;
    }
    const QString mode = arguments.value(2);
    if (mode == QLatin1String("--only-resident") && arguments.size() == 4) {
        // The resident figures alone, over a complete index kept in the folder given (made by
        // one unpaced pass when missing).
        const HeavyCodexHome home(arguments[1]);
        const QString index = arguments[3];
        {
            // Gone before the file is copied: its log is then checkpointed into the file.
            TokenUsageStore store(index);
            store.setNewRolloutsPerRefresh(std::numeric_limits<int>::max());
            store.refresh(home.threads(), Timestamp::now());
        }
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(application.applicationFilePath(),
                    {QString::fromLatin1(residentSwitch), home.path(), index});
        child.waitForFinished(-1);
        std::fflush(stdout);
        benchProgram(home, index);
        return child.exitCode();
    }

    const HeavyCodexHome home(arguments[1]);
    const QList<CodexThread> threads = home.threads();
    std::printf("home %s: %lld threads, %.0f MB of rollouts; %s\n", qPrintable(home.path()),
                static_cast<long long>(threads.size()), megabytes(home.rolloutBytes()),
                home.wasGenerated()
                    ? qPrintable(QStringLiteral("generated in %1 s").arg(home.generationSeconds()))
                    : "reused");
    std::fflush(stdout);

    if (!mode.startsWith(QLatin1String("--only-")) || mode == QLatin1String("--only-refresh")) {
        benchFullRefresh(home);
        std::fflush(stdout);
    }
    if (mode == QLatin1String("--only-refresh"))
        return 0;

    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/tolvaran-heavy-bench-XXXXXX"));
    const IndexFigures figures = benchTokenIndex(home, threads, scratch.path(),
                                                 mode == QLatin1String("--only-unpaced"));
    std::fflush(stdout);
    if (mode == QLatin1String("--only-index") || mode == QLatin1String("--only-unpaced"))
        return 0;

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(application.applicationFilePath(),
                {QString::fromLatin1(residentSwitch), home.path(), figures.completeIndex});
    child.waitForFinished(-1);
    std::fflush(stdout);
    benchProgram(home, figures.completeIndex);
    return child.exitCode();
}
