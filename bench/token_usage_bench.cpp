// Token-usage index benchmark: builds a heavy user's rollout history in a temporary folder
// (thousands of small rollouts, a few of hundreds of megabytes with lines of tens of
// megabytes), then prints, in one run:
//   - the throughput of plainly reading those files, beside that of scanning them for usage
//     lines and of indexing them through the store's refresh passes;
//   - the time of a refresh over an index of 1,000,000 events when nothing changed, and
//     whether that refresh wrote anything;
//   - on a generated Codex folder of 10,000 threads: the token work of a full refresh with
//     nothing changed (the thread list read anew, the clock moved on), beside a store's first
//     refresh, which reads the whole index; and the CPU time of a whole paced first index
//     (passes two seconds apart in simulated time) beside one unpaced pass over the same
//     files. CPU times are the least of a few runs: other work on the machine only adds.
// The corpus and the index are deleted at the end.
#include "data/token_usage/RolloutTokenScanner.h"
#include "data/token_usage/TokenCountLineParser.h"
#include "data/token_usage/TokenUsageStore.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"
#include "support/BenchFigures.h"
#include "support/codex/HeavyCodexHome.h"
#include "support/codex/RolloutLines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace tolvaran;
namespace rollout = tolvaran::fixtures::rollout;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int smallRolloutCount = 2500;
constexpr qint64 smallRolloutMinimumBytes = 8 * 1024;
constexpr qint64 smallRolloutMaximumBytes = 400 * 1024;
const std::vector<qint64> largeRolloutBytes{320ll << 20, 250ll << 20, 180ll << 20};
constexpr qint64 hugeLineMinimumBytes = 10ll << 20;
constexpr qint64 hugeLineMaximumBytes = 40ll << 20;
constexpr qint64 bytesBetweenHugeLines = 60ll << 20; // in the large rollouts, on average
constexpr qint64 textPoolBytes = 48ll << 20;
constexpr qint64 indexedEventTarget = 1000000;
constexpr int projectCount = 40;
constexpr int unchangedPassRuns = 7;
constexpr double dayInSeconds = 86400.0;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double megabytes(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

// Generates rollout lines of realistic shapes and sizes: reasoning blobs, tool outputs,
// messages, task events, and a usage line after every few of them.
class CorpusWriter final
{
public:
    CorpusWriter()
        : m_random(20260201)
    {
        // Text without quotes or backslashes, so slices of it can stand in JSON strings.
        static const char alphabet[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/ .,:;-_=()[]";
        m_pool.resize(textPoolBytes);
        for (qint64 i = 0; i < textPoolBytes; ++i)
            m_pool[i] = alphabet[m_random.bounded(int(sizeof alphabet - 1))];
    }

    // Writes a rollout of about `targetBytes` whose lines are dated from `start` on, one
    // turn every few minutes. Returns the size written.
    qint64 write(const QString &path, qint64 targetBytes, Timestamp start, bool hugeLines)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        QByteArray buffer;
        qint64 written = 0;
        Timestamp when = start;
        qint64 nextHugeLine = qint64(m_random.bounded(double(bytesBetweenHugeLines)));
        buffer += rollout::sessionMeta(when, QStringLiteral("thread"), QStringLiteral("/work"));
        while (written + buffer.size() < targetBytes) {
            buffer += rollout::userMessage(when, text(200 + m_random.bounded(3000)));
            buffer += rollout::taskStarted(when);
            const int calls = 1 + int(m_random.bounded(6));
            for (int call = 0; call < calls; ++call) {
                buffer += reasoning(when, 500 + m_random.bounded(3500));
                buffer += functionCall(when);
                if (hugeLines && written + buffer.size() >= nextHugeLine) {
                    buffer += toolOutput(when, hugeLineMinimumBytes
                                                   + qint64(m_random.bounded(double(
                                                       hugeLineMaximumBytes
                                                       - hugeLineMinimumBytes))));
                    nextHugeLine += bytesBetweenHugeLines / 2
                        + qint64(m_random.bounded(double(bytesBetweenHugeLines)));
                } else {
                    buffer += toolOutput(when, m_random.bounded(10) == 0
                                                   ? 4000 + m_random.bounded(56000)
                                                   : 100 + m_random.bounded(3900));
                }
                buffer += usage(when);
                when = when.addingSeconds(5 + m_random.bounded(60));
            }
            buffer += rollout::assistantMessage(when, text(100 + m_random.bounded(2000)));
            buffer += rollout::taskComplete(when);
            when = when.addingSeconds(60 + m_random.bounded(600));
            if (buffer.size() > (8 << 20)) {
                written += file.write(buffer);
                buffer.clear();
            }
        }
        written += file.write(buffer);
        return written;
    }

    qint64 usageLines() const { return m_usageLines; }

private:
    QString text(qint64 length)
    {
        return QString::fromLatin1(slice(length));
    }

    QByteArray slice(qint64 length)
    {
        const qint64 from = qint64(m_random.bounded(double(textPoolBytes - length)));
        return QByteArray::fromRawData(m_pool.constData() + from, length);
    }

    QByteArray reasoning(Timestamp when, qint64 length)
    {
        return rollout::reasoning(when, slice(length));
    }

    QByteArray functionCall(Timestamp when)
    {
        const QByteArray command = slice(40 + m_random.bounded(200));
        return rollout::functionCall(when, command, m_random.generate());
    }

    QByteArray toolOutput(Timestamp when, qint64 length)
    {
        const quint32 callID = m_random.generate();
        return rollout::functionCallOutput(when, callID, slice(length));
    }

    QByteArray usage(Timestamp when)
    {
        ++m_usageLines;
        return rollout::tokenCount(when, rollout::randomTokenCount(m_random, m_total, when));
    }

    QRandomGenerator m_random;
    QByteArray m_pool;
    rollout::TokenUsage m_total;
    qint64 m_usageLines = 0;
};

struct Corpus
{
    QList<CodexThread> threads;
    QStringList paths;
    qint64 bytes = 0;
    qint64 usageLines = 0;
};

Corpus generateCorpus(const QString &folder, Timestamp now)
{
    CorpusWriter writer;
    QRandomGenerator random(7);
    Corpus corpus;
    // A rollout's lines end about `daysAgo` days before now (the large ones span weeks), and
    // never after its thread's last update.
    const auto addThread = [&](const QString &name, qint64 bytes, double daysAgo, bool huge) {
        const QString path = folder + QStringLiteral("/sessions/rollout-") + name
            + QStringLiteral(".jsonl");
        const double turnsSeconds = double(bytes) / (40.0 * 1024) * 400.0;
        const Timestamp start = now.addingSeconds(-daysAgo * dayInSeconds - turnsSeconds);
        corpus.bytes += writer.write(path, bytes, start, huge);
        CodexThread thread;
        thread.id = name;
        thread.rolloutPath = path;
        thread.cwd = QStringLiteral("/home/user/projects/p%1")
                         .arg(random.bounded(projectCount));
        thread.model = QStringLiteral("gpt-5.5");
        thread.updatedAt = now.addingSeconds(-daysAgo * dayInSeconds);
        thread.recencyAt = thread.updatedAt;
        corpus.threads.append(thread);
        corpus.paths.append(path);
    };
    QDir().mkpath(folder + QStringLiteral("/sessions"));
    for (size_t i = 0; i < largeRolloutBytes.size(); ++i)
        addThread(QStringLiteral("large-%1").arg(i), largeRolloutBytes[i], 0.01 + double(i) / 10,
                  true);
    for (int i = 0; i < smallRolloutCount; ++i) {
        // Sizes spread evenly on a logarithmic scale, as a real history's are.
        const double share = random.generateDouble();
        const qint64 bytes = qint64(double(smallRolloutMinimumBytes)
                                    * std::pow(double(smallRolloutMaximumBytes)
                                                   / double(smallRolloutMinimumBytes),
                                               share));
        addThread(QStringLiteral("small-%1").arg(i, 4, 10, QLatin1Char('0')), bytes,
                  1.0 + random.generateDouble() * 400.0, false);
    }
    corpus.usageLines = writer.usageLines();
    return corpus;
}

qint64 readPlainly(const QStringList &paths)
{
    std::vector<char> block(static_cast<size_t>(Internal::RolloutTokenScanner::readBlockSize));
    qint64 total = 0;
    for (const QString &path : paths) {
        const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        ssize_t got = 0;
        while ((got = ::read(descriptor, block.data(), block.size())) > 0)
            total += got;
        ::close(descriptor);
    }
    return total;
}

qint64 scanOnly(const Corpus &corpus)
{
    Internal::RolloutTokenScanner scanner;
    qint64 events = 0;
    for (const CodexThread &thread : corpus.threads) {
        const qint64 size = QFileInfo(thread.rolloutPath).size();
        scanner.scan(thread.rolloutPath, 0, size, [&](qint64, QByteArrayView line) {
            if (Internal::TokenCountLineParser::parseEvent(line, thread.cwd, thread.model))
                ++events;
        });
    }
    return events;
}

qint64 countRows(SqliteDatabase &db, const char *table)
{
    SqliteStatement query(db, QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table));
    query.step();
    return query.int64(0);
}

qint64 dataVersion(SqliteDatabase &db)
{
    SqliteStatement query(db, QStringLiteral("PRAGMA data_version"));
    query.step();
    return query.int64(0);
}

// Adds events to the index until it holds `target`, spread over the indexed rollouts at
// offsets below their scan offsets (as real ones are), dated over the last 400 days.
void inflateIndex(const QString &databasePath, qint64 target, Timestamp now)
{
    SqliteDatabase db(databasePath, SQLITE_OPEN_READWRITE);
    struct Rollout
    {
        QString path;
        qint64 scanOffset;
        QString threadID;
        QString projectPath;
    };
    std::vector<Rollout> rollouts;
    {
        SqliteStatement query(
            db, QStringLiteral("SELECT s.rollout_path, s.scan_offset, "
                               "(SELECT thread_id FROM usage_events e "
                               " WHERE e.rollout_path = s.rollout_path LIMIT 1), "
                               "(SELECT project_path FROM usage_events e "
                               " WHERE e.rollout_path = s.rollout_path LIMIT 1) "
                               "FROM rollout_scan_state s"));
        while (query.step()) {
            if (!query.isNull(2))
                rollouts.push_back({query.text(0), query.int64(1), query.text(2),
                                    query.text(3)});
        }
    }
    QRandomGenerator random(11);
    SqliteTransaction transaction(db);
    SqliteStatement insert(
        db, QStringLiteral("INSERT OR IGNORE INTO usage_events VALUES "
                           "(?, ?, ?, ?, ?, ?, ?, ?, ?, 'gpt-5.5', ?, 10080, ?, 'pro')"));
    qint64 count = countRows(db, "usage_events");
    while (count < target) {
        for (const Rollout &rollout : rollouts) {
            if (count >= target)
                break;
            const qint64 perRollout =
                std::max<qint64>(1, (target - count) / qint64(rollouts.size()));
            for (qint64 i = 0; i < perRollout && count < target; ++i) {
                const qint64 input = 20000 + random.bounded(200000);
                const qint64 output = 100 + random.bounded(8000);
                const double age = random.generateDouble() < 0.3
                    ? random.generateDouble() * 30 * dayInSeconds
                    : random.generateDouble() * 400 * dayInSeconds;
                insert.reset();
                insert.bind(1, rollout.path);
                insert.bind(2, qint64(random.bounded(double(rollout.scanOffset))));
                insert.bind(3, rollout.threadID);
                insert.bind(4, rollout.projectPath);
                insert.bind(5, now.seconds - age);
                insert.bind(6, input);
                insert.bind(7, input * 3 / 4);
                insert.bind(8, output);
                insert.bind(9, input + output);
                insert.bind(10, double(random.bounded(100)));
                insert.bind(11, now.seconds - age + 5 * dayInSeconds);
                insert.run();
                count += db.changes();
            }
        }
    }
    // Like every writer of the index, say that its events changed.
    db.execute(QStringLiteral("UPDATE index_generation SET generation = generation + 1"));
    transaction.commit();
}

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

constexpr int tenThousandRuns = 9;
constexpr int pacedRuns = 3;
constexpr double unchangedGoalMilliseconds = 5.0;
constexpr double pacedGoalRatio = 1.3;

// The work of a full refresh with nothing changed in a folder of 10,000 threads, and a paced
// first index beside an unpaced pass. Returns whether every check held.
bool benchTenThousandRollouts(const QString &root)
{
    using namespace std::chrono_literals;
    // The heavy user's folder of the other benchmarks: 10,000 threads in 300 projects, about
    // 2.2 GB of rollouts.
    const fixtures::HeavyCodexShape shape;
    Clock::time_point begun = Clock::now();
    const fixtures::HeavyCodexHome home(root + QStringLiteral("/home"), shape);
    QList<CodexThread> threads = home.threads();
    std::printf("\nfolder of %lld threads in %d projects, %.0f MB of rollouts; generated in "
                "%.1f s\n",
                qlonglong(threads.size()), shape.projectCount, megabytes(home.rolloutBytes()),
                secondsSince(begun));
    readPlainly(home.rolloutPaths());

    // One unpaced pass, then a paced first index in simulated time, as the program runs it:
    // passes two seconds apart, the file monitor watching (nothing changes on disk), every
    // rollout looked at once a minute. The least CPU time of a few runs of each.
    double unpacedCpu = std::numeric_limits<double>::infinity();
    double pacedCpu = std::numeric_limits<double>::infinity();
    int pacedPasses = 0;
    bool sameTotals = true;
    const Timestamp now = Timestamp::now();
    for (int run = 0; run < pacedRuns; ++run) {
        const QString unpacedFolder = root + QStringLiteral("/unpaced-%1").arg(run);
        TokenUsageSnapshot whole;
        {
            TokenUsageStore unpaced(unpacedFolder);
            unpaced.setNewRolloutsPerRefresh(std::numeric_limits<int>::max());
            const double before = cpuSeconds();
            whole = unpaced.refresh(threads, now);
            unpacedCpu = std::min(unpacedCpu, cpuSeconds() - before);
        }
        QDir(unpacedFolder).removeRecursively();

        const QString pacedFolder = root + QStringLiteral("/paced-%1").arg(run);
        auto simulated = std::make_shared<TokenIndexAccess::Clock::time_point>(
            TokenIndexAccess::Clock::now());
        TokenIndexAccess access;
        access.monotonicNow = [simulated] { return *simulated; };
        TokenUsageStore paced(pacedFolder, QTimeZone::systemTimeZone(), access);
        paced.setRolloutChangesWatched(true);
        Timestamp at = now;
        TokenUsageSnapshot snapshot;
        int passes = 0;
        const double before = cpuSeconds();
        do {
            snapshot = paced.refresh(threads, at);
            ++passes;
            at = at.addingSeconds(2.0);
            *simulated += 2s;
        } while (snapshot.pendingRolloutCount > 0);
        pacedCpu = std::min(pacedCpu, cpuSeconds() - before);
        pacedPasses = passes;
        sameTotals = sameTotals && snapshot.global.indexedTokens == whole.global.indexedTokens
            && snapshot.projects.size() == whole.projects.size();
        if (run + 1 < pacedRuns)
            QDir(pacedFolder).removeRecursively();
    }
    std::printf("paced first index, %d passes 2 s apart, CPU %.2f s   one unpaced pass CPU "
                "%.2f s   ratio %.2f (goal: at most %.1f); same totals: %s\n",
                pacedPasses, pacedCpu, unpacedCpu, pacedCpu / unpacedCpu, pacedGoalRatio,
                sameTotals ? "yes" : "NO");

    // Full refreshes with nothing changed: each hands over the threads read anew from Codex's
    // database (the one before still held, as the program's refresher holds it), the clock a
    // minute on. With the monitor watching, as in the program; then with every rollout's
    // attributes asked, as once a minute and without a monitor.
    const QString index = root + QStringLiteral("/paced-%1").arg(pacedRuns - 1);
    TokenUsageStore store(index);
    SqliteDatabase observer(store.databasePath(), SQLITE_OPEN_READONLY);
    Timestamp at = now;
    const double first =
        fixtures::bench::milliseconds([&] { store.refresh(threads, at); });
    store.setRolloutChangesWatched(true);
    store.refresh(threads, at);
    const qint64 versionBefore = dataVersion(observer);
    bool readNothing = true;
    const auto unchangedRuns = [&] {
        std::vector<double> wall;
        std::vector<double> cpu;
        for (int run = 0; run < tenThousandRuns; ++run) {
            const QList<CodexThread> readAnew = home.threads();
            at = at.addingSeconds(60.0);
            const double before = cpuSeconds();
            wall.push_back(fixtures::bench::milliseconds([&] { store.refresh(readAnew, at); }));
            cpu.push_back((cpuSeconds() - before) * 1000.0);
            readNothing = readNothing && store.lastRefreshReads().isEmpty();
            threads = readAnew;
        }
        return std::pair(fixtures::bench::percentile(wall, 0.5),
                         fixtures::bench::percentile(cpu, 0.5));
    };
    const auto [watchedWall, watchedCpu] = unchangedRuns();
    store.setRolloutChangesWatched(false);
    const auto [everyWall, everyCpu] = unchangedRuns();
    const TokenUsageSnapshot kept = store.refresh(threads, at);
    const bool unchanged = dataVersion(observer) == versionBefore;
    const bool same = TokenUsageStore(index).refresh(threads, at) == kept;
    std::printf("token work of a full refresh with nothing changed, %lld rollouts (goal: under "
                "%.0f ms):\n",
                qlonglong(threads.size()), unchangedGoalMilliseconds);
    std::printf("  monitor watching                      %6.2f ms median (CPU %.2f ms)\n",
                watchedWall, watchedCpu);
    std::printf("  every rollout's attributes asked      %6.2f ms median (CPU %.2f ms)\n",
                everyWall, everyCpu);
    std::printf("  reference: a store's first refresh    %6.0f ms (reads the whole index)\n",
                first);
    std::printf("  rollout bytes read: %s; rows written: %s; snapshot equal to a new store's: "
                "%s\n",
                readNothing ? "none" : "SOME", unchanged ? "none" : "SOME", same ? "yes" : "NO");
    return sameTotals && readNothing && unchanged && same;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/tolvaran-token-bench-XXXXXX"));
    if (!root.isValid())
        qFatal("cannot create a temporary folder");
    const QString codexFolder = root.filePath(QStringLiteral("codex"));
    const QString supportFolder = root.filePath(QStringLiteral("support"));
    const Timestamp now = Timestamp::now();

    std::printf("Token usage index benchmark (files in %s, deleted at the end)\n",
                qPrintable(root.path()));
    Clock::time_point start = Clock::now();
    const Corpus corpus = generateCorpus(codexFolder, now);
    std::printf("corpus: %lld rollouts, %.0f MB, %lld usage lines, %zu over 100 MB, "
                "lines up to %lld MB; generated in %.1f s\n",
                qlonglong(corpus.threads.size()), megabytes(corpus.bytes),
                qlonglong(corpus.usageLines), largeRolloutBytes.size(),
                qlonglong(hugeLineMaximumBytes >> 20), secondsSince(start));

    readPlainly(corpus.paths); // the page cache now holds the files for every measurement
    start = Clock::now();
    const qint64 readBytes = readPlainly(corpus.paths);
    const double readSeconds = secondsSince(start);

    start = Clock::now();
    const qint64 scannedEvents = scanOnly(corpus);
    const double scanSeconds = secondsSince(start);

    const TokenUsageStore store(supportFolder, QTimeZone::systemTimeZone());
    int passes = 0;
    double firstPassSeconds = 0;
    qint64 firstPassBytes = 0;
    TokenUsageSnapshot snapshot;
    start = Clock::now();
    do {
        const Clock::time_point passStart = Clock::now();
        snapshot = store.refresh(corpus.threads, now);
        if (passes++ == 0) {
            firstPassSeconds = secondsSince(passStart);
            QList<CodexThread> newest = corpus.threads;
            std::stable_sort(newest.begin(), newest.end(), [](const auto &a, const auto &b) {
                return a.updatedAt > b.updatedAt;
            });
            for (int i = 0; i < TokenUsageStore::maximumNewRolloutsPerRefresh; ++i)
                firstPassBytes += QFileInfo(newest[i].rolloutPath).size();
        }
    } while (snapshot.pendingRolloutCount > 0);
    const double indexSeconds = secondsSince(start);

    std::printf("\nthroughput over the same %.0f MB (warm page cache):\n", megabytes(readBytes));
    std::printf("  plain read                          %8.0f MB/s\n",
                megabytes(readBytes) / readSeconds);
    std::printf("  scan for usage lines and parse      %8.0f MB/s  (%lld events)\n",
                megabytes(corpus.bytes) / scanSeconds, qlonglong(scannedEvents));
    std::printf("  index, first refresh (3 large)     %8.0f MB/s  (%.0f MB in %.2f s)\n",
                megabytes(firstPassBytes) / firstPassSeconds, megabytes(firstPassBytes),
                firstPassSeconds);
    SqliteDatabase observer(store.databasePath(), SQLITE_OPEN_READONLY);
    std::printf("  index, all %3d refreshes            %8.0f MB/s  (%.1f s, %lld events; "
                "each refresh also aggregates the whole index)\n",
                passes, megabytes(corpus.bytes) / indexSeconds, indexSeconds,
                qlonglong(countRows(observer, "usage_events")));

    start = Clock::now();
    inflateIndex(store.databasePath(), indexedEventTarget, now);
    std::printf("\nindex filled to %lld events in %.1f s\n", qlonglong(indexedEventTarget),
                secondsSince(start));

    // A new store (the application's start) reads the whole index once; later refreshes with
    // nothing changed use what it keeps.
    const TokenUsageStore started(supportFolder, QTimeZone::systemTimeZone());
    const qint64 versionBefore = dataVersion(observer);
    start = Clock::now();
    snapshot = started.refresh(corpus.threads, now);
    const double firstMilliseconds = secondsSince(start) * 1000.0;
    std::vector<double> times;
    for (int run = 0; run < unchangedPassRuns; ++run) {
        start = Clock::now();
        snapshot = started.refresh(corpus.threads, now);
        times.push_back(secondsSince(start) * 1000.0);
    }
    const bool unchanged = dataVersion(observer) == versionBefore;
    std::sort(times.begin(), times.end());
    SqliteStatement sum(observer, QStringLiteral("SELECT SUM(total_tokens) FROM usage_events"));
    sum.step();
    const bool matches = snapshot.global.indexedTokens == sum.int64(0);

    std::printf("refresh with nothing changed, %lld events, %lld rollouts (goal: under 300 ms):\n",
                qlonglong(countRows(observer, "usage_events")),
                qlonglong(corpus.threads.size()));
    std::printf("  first after start (reads the index)   %6.0f ms\n", firstMilliseconds);
    std::printf("  later ones                            %6.0f ms median, %.0f best, %.0f worst\n",
                times[times.size() / 2], times.front(), times.back());
    std::printf("  rows written                          %s\n",
                unchanged ? "0" : "SOME (the index changed)");
    std::printf("  snapshot totals equal the index's     %s\n", matches ? "yes" : "NO");
    const bool tenThousand = benchTenThousandRollouts(root.filePath(QStringLiteral("ten")));
    return unchanged && matches && tenThousand ? 0 : 1;
}
