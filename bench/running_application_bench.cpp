// The program as its user runs it (the composition root, the coordinator and the window,
// offscreen, each run in a child process of its own) on two generated heavy homes, 10,000
// threads in 300 projects and 50,000 threads in 1,500 projects, with their rollout files
// (tests/support/HeavyCodexHome; kept in the folder given and reused, as is a complete token
// index of each, made once by one unpaced pass). Prints, each beside its reference and goal:
//   - start to first cards painted, at 10,000 and 50,000 threads: a first start (the
//     program's folder empty) and a later one (the folder a previous run left, its token
//     index complete), beside the sqlite3 tool's scan of the same rows;
//   - a full refresh of the running program after a write to one thread's row (as Codex
//     makes them), and one with nothing changed, beside the same scan, at both sizes;
//   - the resident set on the 50,000-thread home after the first refresh and after twenty
//     more, each of them caused by a write to a thread's row, as the program sees Codex's
//     (with the heap the C library counts in use; the child prints each round on stderr);
//   - the slope of the resident set on the 10,000-thread home over ten minutes of a stand-in
//     Codex (this program) that appends a rollout line every second and writes a thread's row
//     every five, with the number of full refreshes the program made meanwhile.
//
//   running_application_bench FOLDER [--only-start | --only-refresh | --only-memory |
//                                     --only-slope] [--slope-minutes N]
#include "coordinator/ProjectListViewModel.h"
#include "data/token_usage/TokenUsageStore.h"
#include "helpers/ResidentSet.h"
#include "helpers/RunningApplication.h"
#include "support/BenchFigures.h"
#include "support/codex/HeavyCodexHome.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"

#include "app/ApplicationSetUp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace tolvaran::fixtures::bench;
using namespace std::chrono_literals;

namespace {

constexpr int startRuns = 3;
constexpr int refreshRuns = 9;
constexpr int toolRuns = 5;
constexpr int memoryRounds = 20;
constexpr int defaultSlopeMinutes = 10;
constexpr double slopeSettleMinutes = 2.0;
constexpr auto slopeSampleInterval = 5s;
constexpr auto rolloutLineInterval = 1s;
constexpr auto threadRowInterval = 5s;
constexpr auto refreshQuiet = 2500ms;
constexpr auto memoryQuiet = 3000ms;
constexpr auto childLimit = 900s;

constexpr double startGoalSeconds10k = 0.4;
constexpr double startGoalSeconds50k = 1.5;
constexpr double refreshGoal10k = 2.0;
constexpr double refreshGoal50k = 2.5;
constexpr double residentGrowthGoal = 1.2;
constexpr double slopeGoalMiBPerMinute = 0.5;

const char *const childSwitch = "--child";

struct Home
{
    QString name; // "10,000"
    int threads = 0;
    HeavyCodexHome codex;
    QString index;             // a folder holding a complete token index of it
    QStringList writtenThreads; // the threads whose rows the writes touch, one a write
};

HeavyCodexShape shapeOf(int threads)
{
    HeavyCodexShape shape;
    shape.threadCount = threads;
    shape.projectCount = threads * 3 / 100;
    // The rollouts of the larger home are smaller on average: a long history of short chats.
    shape.rolloutBytes = threads > 10000 ? 4000ll << 20 : shape.rolloutBytes;
    return shape;
}

// A complete token index of the home, made by one unpaced pass unless the folder holds one.
QString completeIndex(const HeavyCodexHome &home, const QString &folder)
{
    const QString marker = folder + QStringLiteral("/.complete");
    if (!QFileInfo::exists(marker)) {
        QDir(folder).removeRecursively();
        {
            // Gone before the file is copied: its log is then checkpointed into the file.
            TokenUsageStore store(folder);
            store.setNewRolloutsPerRefresh(std::numeric_limits<int>::max());
            store.refresh(home.threads(), Timestamp::now());
        }
        QFile(marker).open(QIODevice::WriteOnly);
    }
    return folder;
}

// The program's folders under `programHome`, its token index a copy of `index` when given.
void prepareProgramHome(const QString &programHome, const QString &index)
{
    const QString data = programHome + QStringLiteral("/data/Tolvaran");
    QDir().mkpath(data);
    if (!index.isEmpty()) {
        const QString name = TokenUsageStore::databaseFileName();
        QFile::remove(data + QLatin1Char('/') + name);
        QFile::copy(index + QLatin1Char('/') + name, data + QLatin1Char('/') + name);
    }
}

qint64 steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Runs this program as a child in `mode` on the home, in the program folder given; returns
// its standard output, the lines it printed.
QList<QByteArray> runChild(const QString &mode, const QString &programHome, const Home &home,
                           const QStringList &extra = {})
{
    QProcess child;
    child.setProcessEnvironment(applicationEnvironment(programHome, home.codex.path()));
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.setReadChannel(QProcess::StandardOutput);
    QStringList arguments{QString::fromLatin1(childSwitch), mode, home.codex.path(),
                          QString::number(home.threads),
                          home.writtenThreads.join(QLatin1Char(','))};
    arguments += extra;
    arguments.append(QString::number(steadyNanoseconds()));
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(int(std::chrono::milliseconds(childLimit).count()))) {
        std::fprintf(stderr, "%s child did not finish\n", qPrintable(mode));
        child.kill();
        child.waitForFinished();
    }
    const QByteArray errors = child.readAllStandardError();
    if (child.exitCode() != 0)
        std::fprintf(stderr, "%s child failed:\n%s\n", qPrintable(mode), errors.constData());
    return child.readAllStandardOutput().split('\n');
}

// The first number of the child's line that starts with `key`.
double childFigure(const QList<QByteArray> &lines, const QByteArray &key, int field = 1)
{
    for (const QByteArray &line : lines) {
        if (line.startsWith(QByteArray(key + ' ')))
            return line.split(' ').value(field).toDouble();
    }
    return -1.0;
}

double toolMilliseconds(const Home &home)
{
    return median(toolRuns, [&] { return sqliteToolMilliseconds(home.codex.databasePath()); });
}

void benchStart(const Home &home, double goalSeconds)
{
    std::vector<double> first, later;
    for (int run = 0; run < startRuns; ++run) {
        TemporaryHome program;
        first.push_back(childFigure(runChild(QStringLiteral("start"), program.path(), home),
                                    "first-cards"));
    }
    TemporaryHome program;
    prepareProgramHome(program.path(), {});
    runChild(QStringLiteral("start"), program.path(), home); // leaves its folder behind
    prepareProgramHome(program.path(), home.index);
    for (int run = 0; run < startRuns; ++run) {
        later.push_back(childFigure(runChild(QStringLiteral("start"), program.path(), home),
                                    "first-cards"));
    }
    std::printf("start to first cards, %s threads, median of %d: first start %.2f s, later "
                "start %.2f s   sqlite3 tool, same rows %.0f ms   (goal: under %.1f s)\n",
                qPrintable(home.name), startRuns, percentile(first, 0.5) / 1000.0,
                percentile(later, 0.5) / 1000.0, toolMilliseconds(home), goalSeconds);
    std::fflush(stdout);
}

void benchRefresh(const Home &home, double goal)
{
    TemporaryHome program;
    prepareProgramHome(program.path(), home.index);
    const QList<QByteArray> lines = runChild(QStringLiteral("refresh"), program.path(), home);
    const double written = childFigure(lines, "refresh-after-write");
    const double unchanged = childFigure(lines, "refresh-unchanged");
    const double tool = toolMilliseconds(home);
    std::printf("full refresh of the running program, %s threads, median of %d: after a row "
                "write %.1f ms, nothing changed %.1f ms   sqlite3 tool, same rows %.1f ms   "
                "ratio %.2f and %.2f (goal: at most %.1f)\n",
                qPrintable(home.name), refreshRuns, written, unchanged, tool, written / tool,
                unchanged / tool, goal);
    std::fflush(stdout);
}

void benchMemory(const Home &home)
{
    TemporaryHome program;
    prepareProgramHome(program.path(), home.index);
    const QList<QByteArray> lines = runChild(QStringLiteral("memory"), program.path(), home);
    const double first = childFigure(lines, "resident-first");
    const double last = childFigure(lines, "resident-last");
    std::printf("resident set, %s threads: after the first refresh %.0f MiB, after %d more "
                "%.0f MiB (peak %.0f MiB; heap in use %.0f and %.0f MiB)   ratio %.2f (goal: at "
                "most %.1f)\n",
                qPrintable(home.name), first, memoryRounds, last,
                childFigure(lines, "resident-last", 2), childFigure(lines, "resident-first", 3),
                childFigure(lines, "resident-last", 3), last / first, residentGrowthGoal);
    std::fflush(stdout);
}

// Least-squares slope of `values` over `times`.
double slope(const std::vector<double> &times, const std::vector<double> &values)
{
    const double n = double(times.size());
    double sumT = 0, sumV = 0, sumTT = 0, sumTV = 0;
    for (size_t i = 0; i < times.size(); ++i) {
        sumT += times[i];
        sumV += values[i];
        sumTT += times[i] * times[i];
        sumTV += times[i] * values[i];
    }
    const double denominator = n * sumTT - sumT * sumT;
    return denominator == 0 ? 0.0 : (n * sumTV - sumT * sumV) / denominator;
}

void benchSlope(const Home &home, int minutes)
{
    TemporaryHome program;
    prepareProgramHome(program.path(), home.index);
    QProcess child;
    child.setProcessEnvironment(applicationEnvironment(program.path(), home.codex.path()));
    child.setReadChannel(QProcess::StandardOutput);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(childSwitch), QStringLiteral("idle"), home.codex.path(),
                 QString::number(home.threads), QString(),
                 QString::number(steadyNanoseconds())});
    if (!waitUntil([&] { return child.canReadLine(); }, childLimit)) {
        std::printf("resident slope: the program did not settle\n");
        return;
    }
    // The stand-in Codex works on the newest thread, which the program watches.
    const CodexThread thread = home.codex.threads().first();
    QTimer lines, rows;
    QObject::connect(&lines, &QTimer::timeout, [&] {
        HeavyCodexHome::appendRolloutLine(thread.rolloutPath, Timestamp::now());
    });
    QObject::connect(&rows, &QTimer::timeout,
                     [&] { home.codex.touchThread(thread.id, Timestamp::now()); });
    lines.start(rolloutLineInterval);
    rows.start(threadRowInterval);
    std::vector<double> times, values;
    QElapsedTimer clock;
    clock.start();
    const double end = minutes * 60.0;
    double start = 0, settled = 0;
    while (double(clock.elapsed()) / 1000.0 < end) {
        processEventsFor(slopeSampleInterval);
        const double at = double(clock.elapsed()) / 60000.0;
        const double resident = residentSet(child.processId()).current;
        if (start == 0)
            start = resident;
        if (at >= slopeSettleMinutes) {
            if (settled == 0)
                settled = resident;
            times.push_back(at);
            values.push_back(resident);
        }
    }
    const ResidentSet last = residentSet(child.processId());
    child.kill();
    child.waitForFinished();
    double refreshes = 0;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith("full-refreshes "))
            refreshes = line.split(' ').value(1).toDouble();
    }
    std::printf("resident slope, %s threads, stand-in Codex for %d min (%.0f full refreshes): "
                "%.2f MiB a minute after minute %.0f (%.0f MiB at the start, %.0f at minute "
                "%.0f, %.0f at the end, peak %.0f)   (goal: under %.1f MiB a minute)\n",
                qPrintable(home.name), minutes, refreshes, slope(times, values),
                slopeSettleMinutes, start, settled, slopeSettleMinutes, last.current, last.peak,
                slopeGoalMiBPerMinute);
    std::fflush(stdout);
}

// In the child: the program over the home named on the command line (the environment names
// its folders); `startedAt` is when the parent started this process.
int runInChild(const QString &mode, const QString &codexFolder, int threadCount,
               const QStringList &writtenThreads, qint64 startedAt)
{
    setUpApplication(QStringLiteral("bench"));
    RunningApplication running;
    ProjectListViewModel &model = running.coordinator();
    if (mode == QLatin1String("start")) {
        waitUntil([&] { return running.firstCardsPaintedAt().has_value(); }, childLimit);
        const qint64 painted = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   running.firstCardsPaintedAt()->time_since_epoch())
                                   .count();
        std::printf("first-cards %.1f\n", double(painted - startedAt) / 1e6);
        // The folder is left as a run leaves it: its first refresh and token pass done.
        running.awaitRefreshAndTokenPass(1s, childLimit);
        return 0;
    }
    if (!running.awaitRefreshAndTokenPass(3s, childLimit))
        return 1;
    const HeavyCodexHome home(codexFolder, shapeOf(threadCount));
    if (mode == QLatin1String("refresh")) {
        std::vector<double> written, unchanged;
        for (int run = 0; run < refreshRuns; ++run) {
            home.touchThread(writtenThreads.value(run), Timestamp::now());
            written.push_back(running.timedRefresh(refreshQuiet, childLimit));
            unchanged.push_back(running.timedRefresh(refreshQuiet, childLimit));
        }
        std::printf("refresh-after-write %.2f\nrefresh-unchanged %.2f\n",
                    percentile(written, 0.5), percentile(unchanged, 0.5));
        return 0;
    }
    if (mode == QLatin1String("memory")) {
        const ResidentSet first = residentSet();
        std::printf("resident-first %.1f %.1f %.1f\n", first.current, first.peak,
                    heapFigures().inUse);
        for (int round = 0; round < memoryRounds; ++round) {
            const Timestamp before = *model.lastRefreshedAt();
            home.touchThread(writtenThreads.value(round), Timestamp::now());
            waitUntil([&] { return *model.lastRefreshedAt() > before; }, childLimit);
            running.awaitRefreshAndTokenPass(memoryQuiet, childLimit);
            const ResidentSet now = residentSet();
            const HeapFigures heap = heapFigures();
            std::fprintf(stderr, "round %d: %.1f MiB (anonymous %.1f, peak %.1f; heap in use "
                                 "%.1f, kept free %.1f)\n",
                         round + 1, now.current, now.anonymous, now.peak, heap.inUse, heap.free);
        }
        const ResidentSet last = residentSet();
        std::printf("resident-last %.1f %.1f %.1f\n", last.current, last.peak,
                    heapFigures().inUse);
        return 0;
    }
    // "idle": runs until killed, and says when a full refresh ends.
    std::printf("ready\n");
    std::fflush(stdout);
    int refreshes = 0;
    std::optional<Timestamp> refreshedAt = model.lastRefreshedAt();
    QObject::connect(&model, &ProjectListViewModel::statusChanged, [&] {
        if (model.lastRefreshedAt() == refreshedAt)
            return;
        refreshedAt = model.lastRefreshedAt();
        std::printf("full-refreshes %d\n", ++refreshes);
        std::fflush(stdout);
    });
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() >= 7 && arguments[1] == QLatin1String(childSwitch)) {
        return runInChild(arguments[2], arguments[3], arguments[4].toInt(),
                          arguments[5].split(QLatin1Char(','), Qt::SkipEmptyParts),
                          arguments[6].toLongLong());
    }
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: running_application_bench FOLDER [--only-start | "
                             "--only-refresh | --only-memory | --only-slope] "
                             "[--slope-minutes N]\n");
        return 2;
    }
    const QString folder = QDir(arguments[1]).absolutePath();
    const QString only = arguments.value(2).startsWith(QLatin1String("--only-"))
        ? arguments.value(2).mid(7)
        : QString();
    const qsizetype minutesAt = arguments.indexOf(QStringLiteral("--slope-minutes"));
    const int minutes =
        minutesAt > 0 ? arguments.value(minutesAt + 1).toInt() : defaultSlopeMinutes;
    const auto wanted = [&](const char *part) {
        return only.isEmpty() || only == QLatin1String(part);
    };

    const auto prepare = [&](int threads, const char *name) {
        const QString path = folder + QStringLiteral("/home-%1").arg(threads);
        HeavyCodexHome codex(path, shapeOf(threads));
        std::printf("home %s: %s threads, %.0f MB of rollouts; %s\n", qPrintable(path), name,
                    double(codex.rolloutBytes()) / (1024.0 * 1024.0),
                    codex.wasGenerated() ? "generated" : "reused");
        const QString index =
            completeIndex(codex, folder + QStringLiteral("/index-%1").arg(threads));
        std::fflush(stdout);
        // Threads of every age among the newest, each written once.
        QStringList written;
        const QList<CodexThread> all = codex.threads();
        for (int i = 0; i < std::max(refreshRuns, memoryRounds); ++i)
            written.append(all.value(1 + 7 * i).id);
        return Home{QString::fromLatin1(name), threads, std::move(codex), index, written};
    };
    const Home small = prepare(10000, "10,000");
    const Home large = prepare(50000, "50,000");

    if (wanted("start")) {
        benchStart(small, startGoalSeconds10k);
        benchStart(large, startGoalSeconds50k);
    }
    if (wanted("refresh")) {
        benchRefresh(small, refreshGoal10k);
        benchRefresh(large, refreshGoal50k);
    }
    if (wanted("memory"))
        benchMemory(large);
    if (wanted("slope"))
        benchSlope(small, minutes);
    return 0;
}
