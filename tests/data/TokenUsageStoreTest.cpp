#include "TokenUsageFixture.h"

#include "data/token_usage/RolloutTokenScanner.h"
#include "data/token_usage/TokenCountLineParser.h"
#include "data/token_usage/TokenIndexAccess.h"
#include "data/token_usage/TokenUsageAggregator.h"
#include "data/token_usage/TokenUsageError.h"
#include "data/token_usage/TokenUsageStore.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"
#include "support/codex/RolloutLines.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <memory>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using Internal::RolloutTokenScanner;
using Internal::TokenCountLineParser;

namespace {

class TokenUsageStoreTest : public TokenUsageFixture
{
};

} // namespace

TEST(TokenCountLineParser, acceptsOnlyCompleteUsageLines)
{
    const QString cwd = QStringLiteral("/p");
    const std::optional<QString> model = QStringLiteral("gpt-5.4");
    rollout::TokenCount withWindows = count(1200, 34, 1000);
    withWindows.primary = rollout::RateWindow{12.5, 300, weekReset};
    withWindows.secondary = rollout::RateWindow{40.0, 10080, weekReset};
    withWindows.planType = QStringLiteral("pro");
    QByteArray withBlank = usageLine(5);
    withBlank.replace("\"type\":\"token_count\"", "\"type\": \"token_count\"");

    struct Case
    {
        const char *name;
        QByteArray line;
        std::optional<qint64> total; // absent: no event
    };
    const Case cases[] = {
        {"a usage line", rollout::tokenCount(now, withWindows), 1234},
        {"an interrupt: info is null", rollout::tokenCountWithoutInfo(now), std::nullopt},
        {"no last_token_usage", rollout::tokenCountWithoutLastUsage(now, count(5, 5)),
         std::nullopt},
        {"zero total", rollout::tokenCount(now, count(0, 0)), std::nullopt},
        {"pattern with a blank", withBlank, std::nullopt},
        {"a timestamp without fractional seconds",
         rollout::tokenCount(QStringLiteral("2026-02-01T11:00:00Z"), count(7, 0)), 7},
        {"a timestamp with an offset",
         rollout::tokenCount(QStringLiteral("2026-02-01T12:00:00.250+01:00"), count(8, 0)), 8},
        {"a timestamp without a zone",
         rollout::tokenCount(QStringLiteral("2026-02-01T11:00:00.000"), count(9, 0)),
         std::nullopt},
        {"not a date",
         rollout::tokenCount(QStringLiteral("2026-02-30T11:00:00.000Z"), count(9, 0)),
         std::nullopt},
        {"another event", rollout::taskComplete(now), std::nullopt},
        {"cut short", rollout::tokenCount(now, withWindows).left(200), std::nullopt},
        {"a negative input", rollout::tokenCount(now, count(-5, 10)), std::nullopt},
        {"a negative output", rollout::tokenCount(now, count(10, -3)), std::nullopt},
        {"a negative cached input", rollout::tokenCount(now, count(10, 5, -1)), std::nullopt},
        {"an absurd count", rollout::tokenCount(now, count(2'000'000'000'000, 1)),
         std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto event = TokenCountLineParser::parseEvent(c.line.trimmed(), cwd, model);
        ASSERT_EQ(event.has_value(), c.total.has_value());
        if (event) {
            EXPECT_EQ(event->total, *c.total);
        }
    }

    const auto event = TokenCountLineParser::parseEvent(rollout::tokenCount(now, withWindows),
                                                        cwd, model);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->date, now);
    EXPECT_EQ(event->input, 1200);
    EXPECT_EQ(event->cachedInput, 1000);
    EXPECT_EQ(event->output, 34);
    EXPECT_EQ(event->projectPath, cwd);
    EXPECT_EQ(event->model, model);
    // The weekly window is told by its length, not its position.
    EXPECT_EQ(event->weeklyUsedPercent, 40.0);
    EXPECT_EQ(event->weeklyWindowMinutes, 10080);
    EXPECT_EQ(event->weeklyResetsAt, weekReset);
    EXPECT_EQ(event->planType, QStringLiteral("pro"));

    rollout::TokenCount fiveHourOnly = count(1, 1);
    fiveHourOnly.primary = rollout::RateWindow{12.5, 300, weekReset};
    fiveHourOnly.planType = QStringLiteral("plus");
    const auto shortWindow =
        TokenCountLineParser::parseEvent(rollout::tokenCount(now, fiveHourOnly), cwd, model);
    ASSERT_TRUE(shortWindow);
    EXPECT_FALSE(shortWindow->weeklyUsedPercent);
    EXPECT_FALSE(shortWindow->weeklyWindowMinutes);
    EXPECT_FALSE(shortWindow->weeklyResetsAt);
    EXPECT_EQ(shortWindow->planType, QStringLiteral("plus"));

    // A reset time millions of years ahead is held at the latest time we stand for, so that
    // it converts to milliseconds without overflow.
    rollout::TokenCount farReset = count(1, 1);
    farReset.secondary = rollout::RateWindow{1.0, 10080, Timestamp::fromSeconds(9.3e15)};
    const auto far =
        TokenCountLineParser::parseEvent(rollout::tokenCount(now, farReset), cwd, model);
    ASSERT_TRUE(far);
    ASSERT_TRUE(far->weeklyResetsAt);
    EXPECT_EQ(*far->weeklyResetsAt, Timestamp::fromSeconds(Timestamp::latestSeconds));
    EXPECT_EQ(far->weeklyResetsAt->milliseconds(), qint64(Timestamp::latestSeconds) * 1000);

    EXPECT_EQ(TokenCountLineParser::parseTimestamp("2026-02-01T12:00:00.250+01:00"),
              Timestamp::fromMilliseconds(1769943600250));
    EXPECT_EQ(TokenCountLineParser::parseTimestamp("2026-02-01T11:00:00.123456Z"),
              Timestamp::fromMilliseconds(1769943600123));
}

TEST(TokenCountLineParser, quickReaderAgreesWithQtReader)
{
    rollout::TokenCount full = count(1200, 34, 1000);
    full.primary = rollout::RateWindow{12.5, 300, weekReset};
    full.secondary = rollout::RateWindow{40.0, 10080, weekReset};
    full.planType = QStringLiteral("pro");
    const QByteArray prefix = R"({"timestamp":"2026-02-01T11:00:00.000Z","type":"event_msg",)"
                              R"("payload":{"type":"token_count","info":{"last_token_usage":)";
    const QList<QByteArray> bases{
        rollout::tokenCount(now, full).trimmed(),
        rollout::tokenCountWithoutInfo(now).trimmed(),
        rollout::tokenCountWithoutLastUsage(now, full).trimmed(),
        rollout::tokenCount(now, count(0, 0)).trimmed(),
        // Numbers as doubles, exponents and a negative zero; windows in the other order.
        prefix + R"({"input_tokens":5,"cached_input_tokens":1.5e1,"output_tokens":-0,)"
                 R"("total_tokens":12.0}},"rate_limits":{"secondary":{"used_percent":1e2,)"
                 R"("window_minutes":10080.0,"resets_at":1769990000.5},"primary":[],)"
                 R"("plan_type":"plus"}}})",
        // Escapes, non-ASCII text, a member given twice, blanks, deep nesting.
        prefix + R"({"total_tokens":7,"total_tokens":9}},"x":"\u00e9\"\\"},)"
                 R"("type":"event\u005fmsg"})",
        prefix + "{\"total_tokens\":3}},\"rate_limits\":{\"plan_type\":\"pr\xc3\xb8\"}}}",
        prefix + "{ \"total_tokens\" :\t4 } } , \"extra\":[[[[{\"a\":[true,false,null]}]]]]}}",
        prefix + R"({"total_tokens":12345678901234567890}}}})",
        prefix + R"({"total_tokens":1e999}}}})",
    };
    const QString cwd = QStringLiteral("/p");
    const std::optional<QString> model = QStringLiteral("gpt-5.5");
    const auto agree = [&](const QByteArray &line) {
        const auto quick = TokenCountLineParser::parseEvent(line, cwd, model);
        const auto reference = TokenCountLineParser::parseEventWithQtReader(line, cwd, model);
        EXPECT_TRUE(quick == reference) << line.constData();
        return quick.has_value();
    };
    int accepted = 0;
    for (const QByteArray &base : bases)
        accepted += agree(base) ? 1 : 0;
    // All but the three rejected ones and the two numbers out of range.
    EXPECT_EQ(accepted, 5);

    // Damaged lines: whatever either reader makes of them, both make the same.
    const QByteArray replacements("{}[]\":,\\09-.eE +\tx\xc3");
    QRandomGenerator random(1);
    for (const QByteArray &base : bases) {
        for (int i = 0; i < 400; ++i) {
            QByteArray line = base;
            const qsizetype at = random.bounded(int(line.size()));
            switch (random.bounded(4)) {
            case 0:
                line.truncate(at);
                break;
            case 1:
                line[at] = replacements[random.bounded(int(replacements.size()))];
                break;
            case 2:
                line.insert(at, random.bounded(2) ? ' ' : '\n');
                break;
            default:
                line.remove(at, 1);
                break;
            }
            agree(line);
        }
    }
}

TEST(RolloutTokenScanner, findsEveryUsageLineWhateverTheBlockEdges)
{
    TemporaryHome home;
    QByteArray contents;
    contents += rollout::sessionMeta(now, QStringLiteral("t"), QStringLiteral("/p"));
    contents += usageLine(1);
    contents += rollout::assistantMessage(now, QString(300, QLatin1Char('x')));
    contents += usageLine(2);
    contents += usageLine(3);
    contents += "\n"; // an empty line
    QByteArray longUsage = usageLine(4);
    longUsage.insert(1, "\"padding\":\"" + QByteArray(700, 'p') + "\",");
    contents += longUsage;
    contents += rollout::userMessage(now, QString(500, QLatin1Char('u')));
    contents += usageLine(5);
    const QByteArray incomplete = usageLine(6).left(40);
    const QString path = home.writeFile(QStringLiteral("r.jsonl"), contents + incomplete);

    // The lines a plain reading finds, from each line start.
    struct Line
    {
        qint64 offset;
        QByteArray bytes;
        bool operator==(const Line &) const = default;
    };
    QList<Line> expected;
    QList<qint64> lineStarts;
    for (qint64 start = 0; start < contents.size();) {
        const qint64 end = contents.indexOf('\n', start);
        lineStarts.append(start);
        const QByteArray bytes = contents.mid(start, end - start);
        if (bytes.contains(TokenCountLineParser::pattern.toByteArray()))
            expected.append({start, bytes});
        start = end + 1;
    }
    ASSERT_EQ(expected.size(), 5);

    for (const qsizetype blockSize : {21, 22, 64, 333, 1024, 4096, 1 << 20}) {
        RolloutTokenScanner scanner(blockSize);
        for (const qint64 from : {lineStarts[0], lineStarts[2], lineStarts[6]}) {
            SCOPED_TRACE(testing::Message() << "block " << blockSize << " from " << from);
            QList<Line> found;
            const auto consumed = scanner.scan(
                path, from, contents.size() + incomplete.size(),
                [&](qint64 offset, QByteArrayView line) {
                    found.append({offset, line.toByteArray()});
                });
            ASSERT_TRUE(consumed);
            EXPECT_EQ(*consumed, contents.size());
            QList<Line> wanted;
            for (const Line &line : expected) {
                if (line.offset >= from)
                    wanted.append(line);
            }
            EXPECT_TRUE(found == wanted) << found.size() << " lines found";
        }
    }

    RolloutTokenScanner scanner(64);
    const auto handler = [](qint64, QByteArrayView) {};
    EXPECT_EQ(scanner.scan(path, 0, incomplete.size() - 1, handler), 0) << "no line feed yet";
    EXPECT_FALSE(scanner.scan(home.filePath(QStringLiteral("missing")), 0, 10, handler));
    EXPECT_FALSE(scanner.scan(home.path(), 0, 10, handler)) << "a folder cannot be read";
}

TEST_F(TokenUsageStoreTest, indexesUsageOfEachProjectWithPrivateFiles)
{
    const QString a = writeRollout(QStringLiteral("a.jsonl"),
                                   rollout::sessionMeta(now, QStringLiteral("a"),
                                                        QStringLiteral("/work/app"))
                                       + rollout::userMessage(now, QStringLiteral("Hi"))
                                       + usageLine(100, 10) + rollout::tokenCountWithoutInfo(now)
                                       + usageLine(200, 20, 120));
    const QString b = writeRollout(QStringLiteral("b.jsonl"), usageLine(1000, 0, 3000));
    CodexThread first = thread(QStringLiteral("a"), a);
    first.tokensUsed = 5000;
    const TokenUsageSnapshot snapshot = refresh(
        {first, thread(QStringLiteral("b"), b, QStringLiteral("/work/site")),
         thread(QStringLiteral("c"), QString(), QStringLiteral("/work/none"))});

    EXPECT_EQ(snapshot.indexedAt, now);
    EXPECT_EQ(snapshot.pendingRolloutCount, 0);
    EXPECT_EQ(snapshot.global.indexedTokens, 1330);
    EXPECT_EQ(snapshot.global.lifetimeTokens, 5000);
    const TokenUsageReport app = snapshot.projects.value(QStringLiteral("/work/app"));
    EXPECT_EQ(app.indexedTokens, 330);
    EXPECT_EQ(app.lastHourTokens, 110);
    EXPECT_EQ(app.lifetimeTokens, 5000);
    EXPECT_DOUBLE_EQ(app.estimatedCost, (2.5 * 300 + 15.0 * 30) / 1e6);
    EXPECT_EQ(snapshot.projects.value(QStringLiteral("/work/site")).indexedTokens, 1000);
    EXPECT_TRUE(snapshot.projects.contains(QStringLiteral("/work/none")));

    struct stat info{};
    ASSERT_EQ(::stat(QFile::encodeName(supportFolder()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(QFile::encodeName(databasePath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(QFileInfo(databasePath()).fileName(), QStringLiteral("token-usage-v1.sqlite"));

    const TokenUsageStore unavailable{QString()};
    EXPECT_EQ(unavailable.refresh({first}, now), TokenUsageSnapshot::empty());
}

TEST_F(TokenUsageStoreTest, reportsAreKeyedByTheStandardFormOfTheFolder)
{
    // One project's threads name its folder with and without a trailing slash.
    const QString a = writeRollout(QStringLiteral("a.jsonl"), usageLine(100, 0));
    const QString b = writeRollout(QStringLiteral("b.jsonl"), usageLine(200, 0));
    CodexThread first = thread(QStringLiteral("a"), a, QStringLiteral("/x/app/"));
    CodexThread second = thread(QStringLiteral("b"), b, QStringLiteral("/x/app"));
    first.tokensUsed = 700;
    second.tokensUsed = 300;
    const TokenUsageSnapshot snapshot = refresh({first, second});

    EXPECT_EQ(snapshot.projects.keys(), QStringList({QStringLiteral("/x/app")}));
    const TokenUsageReport app = snapshot.projects.value(QStringLiteral("/x/app"));
    EXPECT_EQ(app.indexedTokens, 300);
    EXPECT_EQ(app.lifetimeTokens, 1000);
    EXPECT_EQ(app.lastSevenDaysTokens, 300);
}

TEST_F(TokenUsageStoreTest, aStoppedPassIsReadAgainByTheNext)
{
    const QString a = writeRollout(QStringLiteral("a.jsonl"), usageLine(100, 0));
    const QString b = writeRollout(QStringLiteral("b.jsonl"), usageLine(200, 0));
    const QList<CodexThread> threads{thread(QStringLiteral("a"), a),
                                     thread(QStringLiteral("b"), b)};
    std::stop_source stop;
    stop.request_stop();

    EXPECT_EQ(store.refresh(threads, now, stop.get_token()), TokenUsageSnapshot::empty());
    EXPECT_EQ(Internal::RolloutTokenScanner().scan(a, 0, QFileInfo(a).size(),
                                                   [](qint64, QByteArrayView) {},
                                                   stop.get_token()),
              std::nullopt);

    // Nothing was taken for unreadable: the next pass indexes both.
    const TokenUsageSnapshot snapshot = refresh(threads);
    EXPECT_EQ(snapshot.global.indexedTokens, 300);
    EXPECT_EQ(snapshot.pendingRolloutCount, 0);
}

TEST_F(TokenUsageStoreTest, partialLastLineIsCountedOnceWhenComplete)
{
    const QByteArray last = usageLine(40);
    const QString path = writeRollout(QStringLiteral("r.jsonl"),
                                      usageLine(10) + usageLine(20) + last.left(50));
    const QList<CodexThread> threads{thread(QStringLiteral("t"), path)};
    EXPECT_EQ(refresh(threads).global.indexedTokens, 30);
    append(path, last.mid(50, 20));
    EXPECT_EQ(refresh(threads).global.indexedTokens, 30);
    append(path, last.mid(70));
    EXPECT_EQ(refresh(threads).global.indexedTokens, 70);
    EXPECT_EQ(refresh(threads).global.indexedTokens, 70);
    EXPECT_EQ(rowCount(QStringLiteral("usage_events")), 3);
}

TEST_F(TokenUsageStoreTest, shrunkRolloutIsReadAgainFromItsStart)
{
    const QString path = writeRollout(QStringLiteral("r.jsonl"),
                                      usageLine(10) + usageLine(20) + usageLine(30));
    const QList<CodexThread> threads{thread(QStringLiteral("t"), path)};
    EXPECT_EQ(refresh(threads).global.indexedTokens, 60);
    writeRollout(QStringLiteral("r.jsonl"), usageLine(7));
    EXPECT_EQ(refresh(threads).global.indexedTokens, 7);
    EXPECT_EQ(rowCount(QStringLiteral("usage_events")), 1);
}

TEST_F(TokenUsageStoreTest, unchangedRolloutsWriteNothingAndMovedThreadsAreRelabelled)
{
    QList<CodexThread> threads;
    for (int i = 0; i < 3; ++i) {
        const QString id = QStringLiteral("t%1").arg(i);
        threads.append(thread(id, writeRollout(id, usageLine(10 * (i + 1)) + usageLine(1))));
    }
    refresh(threads);
    SqliteDatabase observer = observe();
    const qint64 before = dataVersion(observer);
    const TokenUsageSnapshot again = refresh(threads);
    EXPECT_EQ(again.global.indexedTokens, 63);
    EXPECT_EQ(dataVersion(observer), before) << "a refresh without changes wrote to the index";

    // A thread moved to another folder takes its events along, without reading its file again.
    QFile::remove(threads[1].rolloutPath);
    threads[1].cwd = QStringLiteral("/work/moved");
    const TokenUsageSnapshot moved = refresh(threads);
    EXPECT_EQ(moved.projects.value(QStringLiteral("/work/moved")).indexedTokens, 21);
    EXPECT_EQ(moved.projects.value(QStringLiteral("/work/app")).indexedTokens, 42);
    EXPECT_NE(dataVersion(observer), before);
}

TEST_F(TokenUsageStoreTest, unreadableRolloutIsSkippedAndTheBatchKept)
{
    const QString good = writeRollout(QStringLiteral("good"), usageLine(10));
    // A folder where the rollout should be: it opens, but every read fails.
    const QString broken = home.filePath(QStringLiteral("codex/sessions/broken"));
    ASSERT_TRUE(QDir().mkpath(broken));
    const QString alsoGood = writeRollout(QStringLiteral("also-good"), usageLine(20));
    const QList<CodexThread> threads{thread(QStringLiteral("g"), good),
                                     thread(QStringLiteral("b"), broken),
                                     thread(QStringLiteral("a"), alsoGood)};

    const TokenUsageSnapshot snapshot = refresh(threads);
    EXPECT_EQ(snapshot.global.indexedTokens, 30);
    EXPECT_EQ(snapshot.pendingRolloutCount, 0);
    EXPECT_EQ(refresh(threads).pendingRolloutCount, 0);
}

TEST_F(TokenUsageStoreTest, archivedRolloutIsCountedOnce)
{
    const QString active = writeRollout(QStringLiteral("2026/02/01/rollout-t.jsonl"),
                                        usageLine(10) + usageLine(20));
    CodexThread t = thread(QStringLiteral("t"), active);
    EXPECT_EQ(refresh({t}).global.indexedTokens, 30);

    // Archiving moves the file and records its new path.
    const QString archived =
        home.filePath(QStringLiteral("codex/archived_sessions/rollout-t.jsonl"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(archived).absolutePath()));
    ASSERT_TRUE(QFile::rename(active, archived));
    t.rolloutPath = archived;
    t.archived = true;
    const TokenUsageSnapshot afterMove = refresh({t});
    EXPECT_EQ(afterMove.global.indexedTokens, 30);
    EXPECT_EQ(afterMove.pendingRolloutCount, 0);

    // It goes on from where it was read to.
    append(archived, usageLine(5));
    EXPECT_EQ(refresh({t}).global.indexedTokens, 35);
    EXPECT_EQ(rowCount(QStringLiteral("rollout_scan_state")), 1);
}

TEST_F(TokenUsageStoreTest, changesByAnotherStoreAreSeen)
{
    const QString a = writeRollout(QStringLiteral("a"), usageLine(10));
    const QString b = writeRollout(QStringLiteral("b"), usageLine(20, 0, 2000));
    const QList<CodexThread> threads{thread(QStringLiteral("a"), a),
                                     thread(QStringLiteral("b"), b, QStringLiteral("/b"))};
    EXPECT_EQ(refresh({threads[0]}).global.indexedTokens, 10);

    // Another instance indexes a rollout; this store's next refresh changes nothing itself.
    const TokenUsageStore other{supportFolder(), QTimeZone::utc()};
    EXPECT_EQ(other.refresh(threads, now).global.indexedTokens, 30);
    EXPECT_EQ(refresh(threads).global.indexedTokens, 30);

    // What a store keeps and adds to equals what a new store reads.
    append(a, usageLine(5, 1, 1));
    const TokenUsageSnapshot kept = refresh(threads);
    EXPECT_EQ(kept.global.indexedTokens, 36);
    const TokenUsageStore fresh{supportFolder(), QTimeZone::utc()};
    EXPECT_EQ(fresh.refresh(threads, now), kept);
}

TEST_F(TokenUsageStoreTest, largeIndexReadInPartsGivesTheSameSnapshot)
{
    // Enough rows for the index to be read in parts side by side.
    const QString path = writeRollout(QStringLiteral("r"), usageLine(1));
    const QList<CodexThread> threads{thread(QStringLiteral("t"), path)};
    refresh(threads);
    const qint64 rows = 2 * TokenUsageStore::rowsPerReadingPart + 12345;
    {
        SqliteDatabase db(databasePath(), SQLITE_OPEN_READWRITE);
        SqliteTransaction transaction(db);
        SqliteStatement fill(db, QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
            "INSERT INTO usage_events SELECT 'other-' || (i % 97), i, 't' || (i % 97), "
            "'/p' || (i % 7), ? - (i % 5000) * 977.0, i % 1000, i % 300, i % 50, 1 + i % 1050, "
            "CASE i % 3 WHEN 0 THEN 'gpt-5.5' WHEN 1 THEN 'gpt-5.4' ELSE NULL END, "
            "i % 100, 10080, ? + (i % 9) * 3600.0, 'pro' FROM n"));
        fill.bind(1, rows);
        fill.bind(2, now.seconds);
        fill.bind(3, now.seconds - 3 * 3600);
        fill.run();
        db.execute(QStringLiteral("UPDATE index_generation SET generation = generation + 1"));
        transaction.commit();
    }
    const TokenUsageSnapshot read = refresh(threads);

    // The same events, aggregated one by one in the order of the index.
    Internal::TokenUsageAggregator expected(QTimeZone::utc(), now);
    SqliteDatabase db(databasePath(), SQLITE_OPEN_READONLY);
    SqliteStatement query(db, QStringLiteral(
        "SELECT project_path, recorded_at, input_tokens, cached_input_tokens, output_tokens, "
        "total_tokens, model, weekly_used_percent, weekly_window_minutes, weekly_resets_at, "
        "plan_type FROM usage_events ORDER BY rowid"));
    qint64 count = 0;
    while (query.step()) {
        Internal::UsageEvent event;
        event.projectPath = query.text(0);
        event.date = Timestamp::fromSeconds(query.real(1));
        event.input = query.int64(2);
        event.cachedInput = query.int64(3);
        event.output = query.int64(4);
        event.total = query.int64(5);
        event.model = query.optionalText(6);
        event.weeklyUsedPercent = query.real(7);
        event.weeklyWindowMinutes = query.int64(8);
        event.weeklyResetsAt = Timestamp::fromSeconds(query.real(9));
        event.planType = query.optionalText(10);
        expected.add(event);
        ++count;
    }
    EXPECT_EQ(count, rows + 1);
    EXPECT_TRUE(read == expected.snapshot(threads, 0, now));
    EXPECT_GT(read.global.indexedTokens, rows);
    EXPECT_EQ(read.projects.size(), 8);
}

TEST_F(TokenUsageStoreTest, olderIndexIsMigratedAndKeepsItsCounts)
{
    rollout::TokenCount withWeek = count(50, 0);
    withWeek.secondary = rollout::RateWindow{25.0, 10080, weekReset};
    withWeek.planType = QStringLiteral("pro");
    const QByteArray first = rollout::tokenCount(now.addingSeconds(-60), withWeek);
    const QString path = writeRollout(QStringLiteral("r"), first + usageLine(7));
    {
        ASSERT_TRUE(QDir().mkpath(supportFolder()));
        SqliteDatabase db(databasePath(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.execute(QStringLiteral(
            "CREATE TABLE usage_events (rollout_path TEXT NOT NULL, event_offset INTEGER NOT "
            "NULL, thread_id TEXT NOT NULL, project_path TEXT NOT NULL, recorded_at REAL NOT "
            "NULL, input_tokens INTEGER NOT NULL, cached_input_tokens INTEGER NOT NULL, "
            "output_tokens INTEGER NOT NULL, total_tokens INTEGER NOT NULL, model TEXT, "
            "PRIMARY KEY (rollout_path, event_offset));"
            "CREATE TABLE rollout_scan_state (rollout_path TEXT PRIMARY KEY, scan_offset "
            "INTEGER NOT NULL, file_size INTEGER NOT NULL);"));
        SqliteStatement insert(db, QStringLiteral("INSERT INTO usage_events VALUES "
                                                  "(?, 0, 't', '/work/app', ?, 999, 0, 0, "
                                                  "999, 'gpt-5.5')"));
        insert.bind(1, path);
        insert.bind(2, now.seconds - 60);
        insert.run();
        SqliteStatement scanned(db, QStringLiteral("INSERT INTO rollout_scan_state VALUES "
                                                   "(?, ?, ?)"));
        scanned.bind(1, path);
        scanned.bind(2, qint64(first.size()));
        scanned.bind(3, qint64(first.size()));
        scanned.run();
    }
    const TokenUsageSnapshot snapshot = refresh({thread(QStringLiteral("t"), path)});
    EXPECT_EQ(snapshot.global.indexedTokens, 999 + 7);
    ASSERT_TRUE(snapshot.weeklyAllowance);
    EXPECT_EQ(snapshot.weeklyAllowance->usedPercent, 25.0);
    EXPECT_EQ(snapshot.weeklyAllowance->planType, QStringLiteral("pro"));
}

TEST_F(TokenUsageStoreTest, failuresAreReportedAndLeaveTheIndexAsItWas)
{
    const QString path = writeRollout(QStringLiteral("r"), usageLine(10));
    const QList<CodexThread> threads{thread(QStringLiteral("t"), path)};
    // A file where the folder should be.
    home.writeFile(QStringLiteral("blocked"), "x");
    const TokenUsageStore blocked{home.filePath(QStringLiteral("blocked/Tolvaran"))};
    try {
        blocked.refresh(threads, now);
        FAIL() << "no error";
    } catch (const TokenUsageError &error) {
        EXPECT_EQ(error.kind(), TokenUsageError::Kind::folderCreationFailed);
    }

    refresh(threads);
    {
        // Another connection holds the write lock for longer than the busy timeout.
        SqliteDatabase holder(databasePath(), SQLITE_OPEN_READWRITE);
        SqliteTransaction lock(holder);
        append(path, usageLine(5));
        try {
            refresh(threads);
            FAIL() << "no error";
        } catch (const TokenUsageError &error) {
            EXPECT_EQ(error.kind(), TokenUsageError::Kind::databaseWriteFailed);
            EXPECT_EQ(error.message(), QStringLiteral("Could not update the token usage index."));
        }
    }
    EXPECT_EQ(refresh(threads).global.indexedTokens, 15);
}

TEST_F(TokenUsageStoreTest, aSnapshotIsMadeAgainFromMemoryWithoutReadingAnyFile)
{
    const QString path = writeRollout(QStringLiteral("a.jsonl"),
                                      usageLine(300, 0, 20) + usageLine(200, 0, 30 * 60));
    const QList<CodexThread> threads{thread(QStringLiteral("a"), path)};
    EXPECT_FALSE(store.reaggregate(threads, 0, now)) << "nothing kept before a refresh";

    const TokenUsageSnapshot first = refresh(threads);
    ASSERT_EQ(first.global.lastHourTokens, 300);
    ASSERT_TRUE(first.nextBoundaryAt);
    // Neither the index nor the rollout is there any more: nothing can be read.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::remove(databasePath()));

    // The last hour empties once the clock passes an hour after the last event.
    const Timestamp lastEventPlusAnHour = now.addingSeconds(-20 * 60 + 3600);
    const std::optional<TokenUsageSnapshot> before =
        store.reaggregate(threads, 0, lastEventPlusAnHour);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->global.lastHourTokens, 300);
    ASSERT_TRUE(before->nextBoundaryAt);
    EXPECT_LT(before->nextBoundaryAt->seconds, lastEventPlusAnHour.seconds + 1);
    const std::optional<TokenUsageSnapshot> after =
        store.reaggregate(threads, 0, *before->nextBoundaryAt);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->global.lastHourTokens, 0);
    EXPECT_EQ(after->global.indexedTokens, 500);
    EXPECT_EQ(after->indexedAt, *before->nextBoundaryAt);
    EXPECT_FALSE(store.reaggregate(threads, 0, now)) << "earlier than what it kept";
    EXPECT_FALSE(QFileInfo::exists(databasePath()));
}

TEST_F(TokenUsageStoreTest, anIndexDeletedOrReplacedBetweenPassesIsTheOneTheNextPassUses)
{
    const QString a = writeRollout(QStringLiteral("a.jsonl"), usageLine(300, 0, 20));
    const QList<CodexThread> threads{thread(QStringLiteral("a"), a)};
    ASSERT_EQ(refresh(threads).global.indexedTokens, 300);
    const auto removeIndex = [](const QString &file) {
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(file + QLatin1String(suffix));
    };

    // Deleted: the next pass makes it again from the rollouts, in a file of its own.
    removeIndex(databasePath());
    EXPECT_EQ(refresh(threads).global.indexedTokens, 300);
    EXPECT_TRUE(QFileInfo::exists(databasePath()));

    // Replaced by an index another store made of another rollout: the events of both count,
    // and they are in the file now at the path.
    const QString b = writeRollout(QStringLiteral("b.jsonl"), usageLine(40, 0, 10));
    const QString otherFolder = home.filePath(QStringLiteral("other"));
    {
        const TokenUsageStore other(otherFolder);
        ASSERT_EQ(other.refresh({thread(QStringLiteral("b"), b)}, now).global.indexedTokens, 40);
    }
    removeIndex(databasePath());
    ASSERT_TRUE(QFile::copy(otherFolder + QLatin1Char('/') + TokenUsageStore::databaseFileName(),
                            databasePath()));
    const QList<CodexThread> both{threads[0], thread(QStringLiteral("b"), b)};
    EXPECT_EQ(refresh(both).global.indexedTokens, 340);
    const TokenUsageStore reader(supportFolder());
    EXPECT_EQ(reader.refresh(both, now).global.indexedTokens, 340);
}

TEST_F(TokenUsageStoreTest, aStoresFirstPassCountsTheIndexedEventsAndItsOwnOnce)
{
    // A store without events in memory reads the index before its first pass writes; what
    // that pass adds, replaces or removes must then count exactly once.
    const QString a = writeRollout(QStringLiteral("a.jsonl"), usageLine(300));
    const QString b = writeRollout(QStringLiteral("b.jsonl"), usageLine(40) + usageLine(2));
    const QList<CodexThread> two{thread(QStringLiteral("a"), a), thread(QStringLiteral("b"), b)};
    ASSERT_EQ(refresh(two).global.indexedTokens, 342);

    append(a, usageLine(5));
    writeRollout(QStringLiteral("b.jsonl"), usageLine(10)); // shorter: read again
    const QString c = writeRollout(QStringLiteral("c.jsonl"), usageLine(7, 0, 90));
    QList<CodexThread> three = two;
    three.append(thread(QStringLiteral("c"), c, QStringLiteral("/work/other")));
    const TokenUsageStore restarted(supportFolder());
    const TokenUsageSnapshot first = restarted.refresh(three, now);
    EXPECT_EQ(first.global.indexedTokens, 322);
    EXPECT_EQ(first.global.lastHourTokens, 315);
    EXPECT_EQ(first.projects.value(QStringLiteral("/work/other")).indexedTokens, 7);
    // Read back whole by another store, the index says the same.
    const TokenUsageStore reader(supportFolder());
    EXPECT_TRUE(reader.refresh(three, now) == first);
}
