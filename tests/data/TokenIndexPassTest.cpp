#include "TokenUsageFixture.h"

#include "data/token_usage/TokenIndexAccess.h"
#include "data/token_usage/TokenIndexPass.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <vector>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

class TokenIndexPassTest : public TokenUsageFixture
{
};

// Passes after one another over an index of their own, as a store runs them, with every
// read of a rollout's bytes recorded by the file it went to.
class PassDriver final
{
public:
    struct Read
    {
        qint64 offset = 0;
        qint64 size = 0;
    };

    explicit PassDriver(const QString &databasePath)
        : m_db(databasePath, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
    {
        m_access.read = [this](int descriptor, char *buffer, qint64 size, qint64 offset) {
            const qint64 got = TokenIndexAccess::systemRead(descriptor, buffer, size, offset);
            char target[4096] = {};
            const QByteArray link = "/proc/self/fd/" + QByteArray::number(descriptor);
            const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
            const std::lock_guard lock(m_mutex);
            if (got > 0 && length > 0)
                m_reads[QFile::decodeName(QByteArray(target, length))].push_back({offset, got});
            if (m_stopAfterReads > 0 && ++m_readsSeen >= m_stopAfterReads)
                m_stop.request_stop();
            return got;
        };
        Internal::TokenIndexPass(m_db, m_state, m_access, 1, {}, {}).createSchema();
    }

    // Runs one pass that adds at most `newRolloutLimit` rollouts never indexed, and returns
    // how many wait.
    qint64 run(const QList<CodexThread> &threads, int newRolloutLimit)
    {
        Internal::TokenIndexPass pass(m_db, m_state, m_access, newRolloutLimit, {},
                                      m_stop.get_token());
        return pass.indexRollouts(threads);
    }

    // The next pass is asked to stop once so many reads were made.
    void stopAfterReads(int reads)
    {
        m_stopAfterReads = reads;
        m_readsSeen = 0;
    }
    void clearStop()
    {
        m_stop = {};
        m_stopAfterReads = 0;
    }

    std::map<QString, std::vector<Read>> reads() const
    {
        const std::lock_guard lock(m_mutex);
        return m_reads;
    }
    // The events in the index.
    qint64 indexedEvents()
    {
        SqliteStatement query(m_db, QStringLiteral("SELECT COUNT(*) FROM usage_events"));
        EXPECT_TRUE(query.step());
        return query.int64(0);
    }

private:
    SqliteDatabase m_db;
    Internal::TokenIndexState m_state;
    TokenIndexAccess m_access;
    std::stop_source m_stop;
    int m_stopAfterReads = 0;
    int m_readsSeen = 0;
    mutable std::mutex m_mutex;
    std::map<QString, std::vector<Read>> m_reads;
};

// Whether the reads cover every byte of the file up to `size` once and nothing else.
::testing::AssertionResult eachByteReadOnce(std::vector<PassDriver::Read> reads, qint64 size)
{
    std::sort(reads.begin(), reads.end(),
              [](const auto &a, const auto &b) { return a.offset < b.offset; });
    qint64 covered = 0;
    for (const PassDriver::Read &read : reads) {
        if (read.offset != covered)
            return ::testing::AssertionFailure()
                << "a read at " << read.offset << " where " << covered << " was next";
        covered += read.size;
    }
    if (covered != size)
        return ::testing::AssertionFailure() << covered << " bytes of " << size << " read";
    return ::testing::AssertionSuccess();
}

// A rollout of about `bytes`, a usage line of `tokens` after every 64 kilobytes of other
// lines; returns the number of usage lines.
int writeLongRollout(const QString &path, qint64 bytes, qint64 tokens)
{
    const QByteArray filler = rollout::userMessage(now, QString(64 * 1024, QLatin1Char('w')));
    QByteArray contents;
    int lines = 0;
    while (contents.size() < bytes) {
        contents += filler;
        contents += usageLine(tokens);
        ++lines;
    }
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::Append));
    EXPECT_EQ(file.write(contents), contents.size());
    return lines;
}

} // namespace

TEST_F(TokenIndexPassTest, everyByteOfAGrowingRolloutIsReadOnceWhateverTheReaders)
{
    struct Case
    {
        const char *name;
        int rollouts;
        qint64 bytes; // each, at first and again appended
    };
    // A few small rollouts are read by the pass's own thread; many large ones by several
    // readers side by side, each storing what it read in turn.
    const Case cases[] = {
        {"small", 5, 4 * 1024},
        {"large", 6, TokenUsageStore::bytesPerScanThread / 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PassDriver driver(home.filePath(QStringLiteral("%1.sqlite").arg(c.name)));
        QList<CodexThread> threads;
        int lines = 0;
        for (int i = 0; i < c.rollouts; ++i) {
            const QString path = home.filePath(QStringLiteral("%1/r%2").arg(c.name).arg(i));
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
            lines += writeLongRollout(path, c.bytes, i + 1);
            threads.append(thread(QStringLiteral("t%1").arg(i), path));
        }
        EXPECT_EQ(driver.run(threads, c.rollouts), 0);
        for (int i = 0; i < c.rollouts; ++i)
            lines += writeLongRollout(threads[i].rolloutPath, c.bytes, i + 1);
        EXPECT_EQ(driver.run(threads, c.rollouts), 0);
        EXPECT_EQ(driver.run(threads, c.rollouts), 0); // nothing new: nothing read

        EXPECT_EQ(driver.indexedEvents(), lines);
        const auto reads = driver.reads();
        EXPECT_EQ(qsizetype(reads.size()), threads.size());
        for (const CodexThread &t : std::as_const(threads)) {
            SCOPED_TRACE(qPrintable(t.rolloutPath));
            const auto found = reads.find(t.rolloutPath);
            ASSERT_NE(found, reads.end());
            EXPECT_TRUE(eachByteReadOnce(found->second, QFileInfo(t.rolloutPath).size()));
        }
    }
}

TEST_F(TokenIndexPassTest, aPassStoppedWhileReadingKeepsWhatItStoredAndTheNextReadsTheRest)
{
    PassDriver driver(home.filePath(QStringLiteral("index.sqlite")));
    QList<CodexThread> threads;
    int lines = 0;
    // Twelve rollouts read by several readers, one read each: a stop after the second read
    // leaves at least the rollouts no reader had begun.
    constexpr int rollouts = 12;
    for (int i = 0; i < rollouts; ++i) {
        const QString path = home.filePath(QStringLiteral("r%1").arg(i));
        lines += writeLongRollout(path, 3 * 1024 * 1024, 1);
        threads.append(thread(QStringLiteral("t%1").arg(i), path));
    }
    driver.stopAfterReads(2);
    driver.run(threads, rollouts);
    EXPECT_GT(driver.indexedEvents(), 0);
    EXPECT_LT(driver.indexedEvents(), lines);
    driver.clearStop();
    // The rollouts not read wait as never indexed, and the next pass reads them.
    EXPECT_EQ(driver.run(threads, rollouts), 0);
    EXPECT_EQ(driver.indexedEvents(), lines);
    const auto reads = driver.reads();
    for (const CodexThread &t : std::as_const(threads)) {
        const auto found = reads.find(t.rolloutPath);
        ASSERT_NE(found, reads.end());
        EXPECT_TRUE(eachByteReadOnce(found->second, QFileInfo(t.rolloutPath).size()));
    }
}

TEST_F(TokenIndexPassTest, aRolloutCutBelowWhatWasReadIsReadAgainFromItsStart)
{
    struct Case
    {
        const char *name;
        QByteArray replacement;
        qint64 tokens; // indexed afterwards
        QByteArray completion; // appended later, before a line of 100
        qint64 tokensOnceGrown;
    };
    const Case cases[] = {
        {"shorter", usageLine(7), 7, {}, 107},
        {"emptied", QByteArray(), 0, {}, 100},
        {"cut within its first line", usageLine(9).left(20), 0, usageLine(9).mid(20), 109},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TokenUsageStore fresh(home.filePath(QString::fromLatin1(c.name)), QTimeZone::utc());
        const QString path = writeRollout(QString::fromLatin1(c.name),
                                          usageLine(10) + usageLine(20) + usageLine(30));
        const QList<CodexThread> threads{thread(QStringLiteral("t"), path)};
        ASSERT_EQ(fresh.refresh(threads, now).global.indexedTokens, 60);
        writeRollout(QString::fromLatin1(c.name), c.replacement);
        const TokenUsageSnapshot after = fresh.refresh(threads, now);
        EXPECT_EQ(after.global.indexedTokens, c.tokens);
        EXPECT_EQ(after.pendingRolloutCount, 0);
        const QList<TokenUsageStore::RolloutRead> read{{path, 0, c.replacement.size()}};
        EXPECT_EQ(fresh.lastRefreshReads(), read);
        // Once it grows again, what it holds is read and counted once.
        append(path, c.completion + usageLine(100));
        EXPECT_EQ(fresh.refresh(threads, now).global.indexedTokens, c.tokensOnceGrown);
        EXPECT_EQ(fresh.refresh(threads, now).global.indexedTokens, c.tokensOnceGrown);
    }
}

TEST_F(TokenIndexPassTest, eachPassAddsAtMostItsLimitOfRolloutsNeverIndexed)
{
    // Twelve rollouts, every third missing; the limit counts those found missing too.
    QList<CodexThread> threads;
    for (int i = 0; i < 12; ++i) {
        const QString id = QStringLiteral("n%1").arg(i, 2, 10, QLatin1Char('0'));
        const QString path = i % 3 == 0 ? home.filePath(QStringLiteral("missing/") + id)
                                        : writeRollout(id, usageLine(1));
        threads.append(thread(id, path, QStringLiteral("/p"), 12 - i));
    }
    for (const int limit : {1, 5, 12}) {
        SCOPED_TRACE(limit);
        PassDriver driver(home.filePath(QStringLiteral("limit-%1.sqlite").arg(limit)));
        qint64 waiting = 12;
        qint64 added = 0;
        int passes = 0;
        while (waiting > 0) {
            const qint64 before = waiting;
            waiting = driver.run(threads, limit);
            ++passes;
            // The newest first: what a pass adds are the next rollouts by time.
            EXPECT_EQ(waiting, std::max<qint64>(before - limit, 0));
            EXPECT_LE(driver.indexedEvents() - added, limit);
            added = driver.indexedEvents();
            ASSERT_LE(passes, 12);
        }
        EXPECT_EQ(passes, (12 + limit - 1) / limit);
        EXPECT_EQ(driver.indexedEvents(), 8);
        EXPECT_EQ(driver.run(threads, limit), 0);
    }
}

TEST_F(TokenIndexPassTest, newRolloutsAreIndexedTwelveAtATimeNewestFirst)
{
    QList<CodexThread> threads;
    for (int i = 0; i < 30; ++i) {
        const QString id = QStringLiteral("t%1").arg(i, 2, 10, QLatin1Char('0'));
        // Listed oldest first: the order given must not decide.
        threads.append(thread(id, writeRollout(id, usageLine(1)), QStringLiteral("/p/") + id,
                              30 - i));
    }
    const TokenUsageSnapshot first = refresh(threads);
    EXPECT_EQ(first.pendingRolloutCount, 18);
    EXPECT_EQ(first.global.indexedTokens, 12);
    EXPECT_EQ(first.projects.value(QStringLiteral("/p/t29")).indexedTokens, 1);
    EXPECT_EQ(first.projects.value(QStringLiteral("/p/t18")).indexedTokens, 1);
    EXPECT_EQ(first.projects.value(QStringLiteral("/p/t17")).indexedTokens, 0);
    EXPECT_EQ(refresh(threads).pendingRolloutCount, 6);
    const TokenUsageSnapshot last = refresh(threads);
    EXPECT_EQ(last.pendingRolloutCount, 0);
    EXPECT_EQ(last.global.indexedTokens, 30);
}

TEST_F(TokenIndexPassTest, passesReadOnlyWhatChangedSinceTheLastOne)
{
    QList<CodexThread> threads;
    for (int i = 0; i < 3; ++i) {
        const QString id = QStringLiteral("r%1").arg(i);
        threads.append(thread(id, writeRollout(id, usageLine(10) + usageLine(20))));
    }
    EXPECT_EQ(refresh(threads).global.indexedTokens, 90);
    EXPECT_EQ(store.lastRefreshReads().size(), 3);
    refresh(threads);
    EXPECT_TRUE(store.lastRefreshReads().isEmpty()) << "a pass with nothing new read files";

    // Appended: read from where the last pass stopped, and nothing else is read.
    const qint64 oldSize = QFileInfo(threads[1].rolloutPath).size();
    append(threads[1].rolloutPath, usageLine(5));
    const qint64 newSize = QFileInfo(threads[1].rolloutPath).size();
    EXPECT_EQ(refresh(threads).global.indexedTokens, 95);
    const QList<TokenUsageStore::RolloutRead> appended{
        {threads[1].rolloutPath, oldSize, newSize}};
    EXPECT_EQ(store.lastRefreshReads(), appended);

    // Replaced by a shorter file: read again from its first byte, its old rows gone.
    writeRollout(QStringLiteral("r2"), usageLine(7));
    EXPECT_EQ(refresh(threads).global.indexedTokens, 7 + 30 + 35);
    const QList<TokenUsageStore::RolloutRead> replaced{
        {threads[2].rolloutPath, 0, QFileInfo(threads[2].rolloutPath).size()}};
    EXPECT_EQ(store.lastRefreshReads(), replaced);
    EXPECT_EQ(rowCount(QStringLiteral("usage_events")), 6);

    // A new store (the next start) learns the offsets from the index and reads nothing.
    const TokenUsageStore restarted{supportFolder(), QTimeZone::utc()};
    EXPECT_EQ(restarted.refresh(threads, now).global.indexedTokens, 72);
    EXPECT_TRUE(restarted.lastRefreshReads().isEmpty());
}

TEST_F(TokenIndexPassTest, movedRolloutKeepsItsRowsWithoutBeingReadAgain)
{
    const QString before = writeRollout(QStringLiteral("2026/01/31/rollout-m.jsonl"),
                                        usageLine(10) + usageLine(20));
    const QString other = writeRollout(QStringLiteral("other"), usageLine(1));
    QList<CodexThread> threads{thread(QStringLiteral("m"), before),
                               thread(QStringLiteral("o"), other)};
    EXPECT_EQ(refresh(threads).global.indexedTokens, 31);
    refresh(threads); // the pass state now holds both as unchanged

    const QString after = home.filePath(QStringLiteral("codex/archived_sessions/rollout-m.jsonl"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(after).absolutePath()));
    ASSERT_TRUE(QFile::rename(before, after));
    threads[0].rolloutPath = after;
    const TokenUsageSnapshot moved = refresh(threads);
    EXPECT_EQ(moved.global.indexedTokens, 31);
    EXPECT_EQ(moved.pendingRolloutCount, 0);
    EXPECT_TRUE(store.lastRefreshReads().isEmpty());
    EXPECT_EQ(rowCount(QStringLiteral("usage_events")), 3);

    append(after, usageLine(4));
    EXPECT_EQ(refresh(threads).global.indexedTokens, 35);
    EXPECT_EQ(store.lastRefreshReads().size(), 1);
    EXPECT_EQ(store.lastRefreshReads().value(0).path, after);
}

TEST_F(TokenIndexPassTest, pacedIndexEqualsOneUnpacedPassPerDayAndProject)
{
    // Forty rollouts in five projects, with usage spread over the last twenty days and the two
    // hours around the index (some of it dated ahead of the clock); some grow while the paced
    // index is under way, and the clock moves on 25 minutes a pass, so that usage enters and
    // leaves the last hour and the weekly window meanwhile.
    QList<CodexThread> threads;
    for (int i = 0; i < 40; ++i) {
        const QString id = QStringLiteral("t%1").arg(i, 2, 10, QLatin1Char('0'));
        QByteArray lines = usageLine(7, 1, 3 * i - 80);
        for (int line = 0; line < 1 + i % 4; ++line)
            lines += usageLine(100 + i, 10 * line, (i * 677 + line * 1440) % (20 * 24 * 60));
        threads.append(thread(id, writeRollout(id, lines),
                              QStringLiteral("/work/p%1").arg(i % 5), 60.0 * i));
    }
    TokenUsageSnapshot paced;
    int passes = 0;
    Timestamp at = now;
    do {
        at = now.addingSeconds(1500.0 * passes);
        paced = store.refresh(threads, at);
        if (passes++ == 1) {
            for (int i = 0; i < 40; i += 6)
                append(threads[i].rolloutPath, usageLine(3, 1, 60 * 24 * (i % 9)));
        }
    } while (paced.pendingRolloutCount > 0);
    EXPECT_EQ(passes, 4);

    TokenUsageStore unpaced{home.filePath(QStringLiteral("unpaced")), QTimeZone::utc()};
    unpaced.setNewRolloutsPerRefresh(int(threads.size()));
    const TokenUsageSnapshot whole = unpaced.refresh(threads, at);
    EXPECT_GT(whole.global.lastHourTokens, 0);
    EXPECT_EQ(whole.pendingRolloutCount, 0);
    EXPECT_GT(whole.global.daily.size(), 10);
    EXPECT_EQ(whole.projects.size(), 5);
    // Costs are sums of doubles in the order the events came in: equal up to rounding.
    const auto expectSameUsage = [](const TokenUsageReport &a, const TokenUsageReport &b) {
        EXPECT_EQ(a.indexedTokens, b.indexedTokens);
        EXPECT_EQ(a.lastHourTokens, b.lastHourTokens);
        EXPECT_EQ(a.todayTokens, b.todayTokens);
        EXPECT_EQ(a.lastSevenDaysTokens, b.lastSevenDaysTokens);
        EXPECT_EQ(a.weeklyWindowTokens, b.weeklyWindowTokens);
        EXPECT_EQ(a.inputTokens, b.inputTokens);
        EXPECT_EQ(a.outputTokens, b.outputTokens);
        EXPECT_NEAR(a.estimatedCost, b.estimatedCost, 1e-12);
        for (const auto &[x, y] :
             {std::pair(&a.daily, &b.daily), std::pair(&a.hourly, &b.hourly)}) {
            ASSERT_EQ(x->size(), y->size());
            for (qsizetype i = 0; i < x->size(); ++i) {
                EXPECT_EQ(x->at(i).date, y->at(i).date);
                EXPECT_EQ(x->at(i).tokens, y->at(i).tokens);
                EXPECT_NEAR(x->at(i).estimatedCost, y->at(i).estimatedCost, 1e-12);
            }
        }
    };
    expectSameUsage(paced.global, whole.global);
    for (auto it = whole.projects.cbegin(); it != whole.projects.cend(); ++it) {
        SCOPED_TRACE(qPrintable(it.key()));
        expectSameUsage(paced.projects.value(it.key()), it.value());
    }
}

TEST_F(TokenIndexPassTest, watchedChangesDecideWhichIndexedRolloutsAreLookedAt)
{
    const QString a = writeRollout(QStringLiteral("a"), usageLine(10));
    const QString b = writeRollout(QStringLiteral("b"), usageLine(20));
    const QList<CodexThread> threads{thread(QStringLiteral("a"), a),
                                     thread(QStringLiteral("b"), b)};
    store.setRolloutChangesWatched(true);
    EXPECT_EQ(refresh(threads).global.indexedTokens, 30);

    // A change the monitor has not named yet waits for it; one it named is read.
    append(a, usageLine(1));
    append(b, usageLine(2));
    EXPECT_EQ(refresh(threads).global.indexedTokens, 30);
    store.noteRolloutChanges({b, QStringLiteral("/elsewhere/not-a-rollout")});
    EXPECT_EQ(refresh(threads).global.indexedTokens, 32);
    EXPECT_EQ(store.lastRefreshReads().size(), 1);

    // Events lost, or no monitor: every rollout is looked at.
    store.noteRolloutChangesMissed();
    EXPECT_EQ(refresh(threads).global.indexedTokens, 33);
    append(a, usageLine(4));
    store.setRolloutChangesWatched(false);
    EXPECT_EQ(refresh(threads).global.indexedTokens, 37);

    // A rollout never indexed is read without being named.
    store.setRolloutChangesWatched(true);
    refresh(threads);
    const QString c = writeRollout(QStringLiteral("c"), usageLine(100));
    EXPECT_EQ(refresh({threads[0], threads[1], thread(QStringLiteral("c"), c)})
                  .global.indexedTokens,
              137);
}

namespace {

// What a store asks of the file system, counted, and the clock of its full checks, moved by
// hand.
struct CountingAccess
{
    std::shared_ptr<std::atomic<int>> fileStates = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<qint64>> bytesRead = std::make_shared<std::atomic<qint64>>(0);
    std::shared_ptr<TokenIndexAccess::Clock::time_point> clock =
        std::make_shared<TokenIndexAccess::Clock::time_point>();

    TokenIndexAccess access() const
    {
        TokenIndexAccess access;
        access.fileState = [states = fileStates](const QString &path) {
            ++*states;
            return TokenIndexAccess::systemFileState(path);
        };
        access.read = [bytes = bytesRead](int descriptor, char *buffer, qint64 size,
                                          qint64 offset) {
            const qint64 got = TokenIndexAccess::systemRead(descriptor, buffer, size, offset);
            if (got > 0)
                *bytes += got;
            return got;
        };
        access.monotonicNow = [clock = clock] { return *clock; };
        return access;
    }
};

} // namespace

TEST_F(TokenIndexPassTest, aFullRefreshWithNothingChangedReadsNothingAndMovesWithTheClock)
{
    // Thirty rollouts in three projects, with usage over the last two days, the last hour and
    // one weekly window; the threads as every full refresh reads them anew from Codex.
    const auto readThreads = [&] {
        QList<CodexThread> threads;
        for (int i = 0; i < 30; ++i) {
            const QString id = QStringLiteral("u%1").arg(i);
            threads.append(thread(id, home.filePath(QStringLiteral("codex/sessions/") + id),
                                  QStringLiteral("/work/q%1").arg(i % 3), 90.0 * i));
            threads.last().tokensUsed = 1000 + i;
        }
        return threads;
    };
    for (int i = 0; i < 30; ++i) {
        rollout::TokenCount weekly = count(50, 5);
        weekly.secondary = rollout::RateWindow{40.0 + i, 10080, weekReset};
        writeRollout(QStringLiteral("u%1").arg(i),
                     usageLine(100 + i, 10, 2 * i) + usageLine(20, 2, 40 * i + 30)
                         + rollout::tokenCount(now.addingSeconds(-60.0 * i), weekly));
    }
    const CountingAccess counted;
    TokenUsageStore watched(supportFolder(), QTimeZone::utc(), counted.access());
    watched.setRolloutChangesWatched(true);
    ASSERT_EQ(watched.refresh(readThreads(), now).pendingRolloutCount, 18);
    QList<CodexThread> held = readThreads();
    while (watched.refresh(held, now).pendingRolloutCount > 0) {
    }
    ASSERT_GT(*counted.bytesRead, 0);

    // Refreshes with nothing changed, each with the threads read anew and the clock on by
    // forty minutes (usage leaves the last hour and the hourly series): no rollout byte read,
    // no file asked about while the monitor names none, nothing written, and the snapshot of a
    // store that reads the whole index at that time.
    SqliteDatabase observer = observe();
    const qint64 version = dataVersion(observer);
    Timestamp at = now;
    for (int step = 1; step <= 4; ++step) {
        SCOPED_TRACE(step);
        const QList<CodexThread> anew = readThreads();
        at = at.addingSeconds(40 * 60);
        *counted.fileStates = 0;
        *counted.bytesRead = 0;
        const TokenUsageSnapshot moved = watched.refresh(anew, at);
        EXPECT_EQ(*counted.fileStates, 0);
        EXPECT_EQ(*counted.bytesRead, 0);
        const TokenUsageSnapshot slow = TokenUsageStore(supportFolder(), QTimeZone::utc())
                                            .refresh(anew, at);
        EXPECT_TRUE(moved == slow);
        held = anew;
    }
    EXPECT_EQ(dataVersion(observer), version);

    // Once a minute every indexed rollout is looked at; still nothing is read.
    *counted.clock += TokenUsageStore::rolloutFullCheckInterval;
    watched.refresh(readThreads(), at);
    EXPECT_EQ(*counted.fileStates, 30);
    EXPECT_EQ(*counted.bytesRead, 0);

    // A thread's count or a rollout that grew is no longer nothing.
    QList<CodexThread> grown = readThreads();
    grown[4].tokensUsed += 500;
    append(grown[7].rolloutPath, usageLine(9, 0, 1));
    watched.noteRolloutChanges({grown[7].rolloutPath});
    *counted.fileStates = 0;
    const TokenUsageSnapshot changed = watched.refresh(grown, at);
    EXPECT_EQ(*counted.fileStates, 1);
    EXPECT_GT(*counted.bytesRead, 0);
    EXPECT_TRUE(changed == TokenUsageStore(supportFolder(), QTimeZone::utc()).refresh(grown, at));
}

TEST_F(TokenIndexPassTest, rolloutsWithNothingToIndexStopWaitingUntilTheyChange)
{
    // The twelve newest rollouts have nothing to index: missing, empty, no complete line.
    QList<CodexThread> threads;
    for (int i = 0; i < 12; ++i) {
        const QString id = QStringLiteral("n%1").arg(i);
        const QString path = home.filePath(QStringLiteral("codex/sessions/") + id);
        if (i % 3 == 1)
            writeRollout(id, QByteArray());
        else if (i % 3 == 2)
            writeRollout(id, usageLine(1000).left(30));
        threads.append(thread(id, path, QStringLiteral("/new"), i));
    }
    const QString older = writeRollout(QStringLiteral("old"), usageLine(5));
    threads.append(thread(QStringLiteral("old"), older, QStringLiteral("/old"), 3600));

    EXPECT_EQ(refresh(threads).pendingRolloutCount, 1);
    const TokenUsageSnapshot second = refresh(threads);
    EXPECT_EQ(second.pendingRolloutCount, 0) << "the older rollout must not be starved";
    EXPECT_EQ(second.global.indexedTokens, 5);

    SqliteDatabase observer = observe();
    const qint64 before = dataVersion(observer);
    EXPECT_EQ(refresh(threads).pendingRolloutCount, 0);
    EXPECT_EQ(dataVersion(observer), before);

    // Once they change, they are read: a missing file that appears, a line completed.
    writeRollout(QStringLiteral("n0"), usageLine(100));
    append(threads[2].rolloutPath, usageLine(1000).mid(30));
    const TokenUsageSnapshot changed = refresh(threads);
    EXPECT_EQ(changed.pendingRolloutCount, 0);
    EXPECT_EQ(changed.global.indexedTokens, 1105);
}
