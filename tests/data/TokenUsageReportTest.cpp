#include "data/token_usage/TokenPriceTable.h"
#include "data/token_usage/TokenUsageAggregator.h"
#include "data/token_usage/TokenUsageSnapshot.h"

#include <QRandomGenerator>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace tolvaran;
using Internal::TokenUsageAggregator;
using Internal::UsageEvent;

namespace {

// 2026-02-01T12:00:00Z, a Sunday.
constexpr double nowSeconds = 1769947200.0;
const Timestamp now = Timestamp::fromSeconds(nowSeconds);

UsageEvent usage(const QString &project, double date, qint64 total,
                 std::optional<QString> model = std::nullopt)
{
    UsageEvent event;
    event.projectPath = project;
    event.date = Timestamp::fromSeconds(date);
    event.input = total;
    event.total = total;
    event.model = std::move(model);
    return event;
}

UsageEvent weekly(double date, std::optional<double> usedPercent, qint64 windowMinutes,
                  double resetsAt, std::optional<QString> plan = std::nullopt)
{
    UsageEvent event = usage(QStringLiteral("/w"), date, 1);
    event.weeklyUsedPercent = usedPercent;
    event.weeklyWindowMinutes = windowMinutes;
    event.weeklyResetsAt = Timestamp::fromSeconds(resetsAt);
    event.planType = std::move(plan);
    return event;
}

CodexThread thread(const QString &cwd, qint64 tokensUsed)
{
    CodexThread t;
    t.id = cwd + QStringLiteral("#") + QString::number(tokensUsed);
    t.cwd = cwd;
    t.tokensUsed = tokensUsed;
    return t;
}

TokenUsageSnapshot aggregate(const QList<UsageEvent> &events,
                             const QList<CodexThread> &threads = {}, Timestamp at = now,
                             const QTimeZone &zone = QTimeZone::utc())
{
    TokenUsageAggregator aggregator(zone, at);
    for (const UsageEvent &event : events)
        aggregator.add(event);
    return aggregator.snapshot(threads, 0, at);
}

QList<double> dates(const QList<TokenUsagePoint> &points)
{
    QList<double> result;
    for (const TokenUsagePoint &point : points)
        result.append(point.date.seconds);
    return result;
}

QList<qint64> tokens(const QList<TokenUsagePoint> &points)
{
    QList<qint64> result;
    for (const TokenUsagePoint &point : points)
        result.append(point.tokens);
    return result;
}

// Sets the process's local time zone for one test, as the user's system would.
class ScopedLocalTimeZone final
{
public:
    explicit ScopedLocalTimeZone(const char *zone)
        : m_hadZone(qEnvironmentVariableIsSet("TZ"))
        , m_previous(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedLocalTimeZone()
    {
        if (m_hadZone)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool m_hadZone;
    QByteArray m_previous;
};

double utc(int year, int month, int day, int hour, int minute = 0)
{
    return double(QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC)
                      .toSecsSinceEpoch());
}

} // namespace

TEST(TokenUsageReport, noEventsAndNoThreadsGiveEmptyReports)
{
    const TokenUsageSnapshot snapshot = aggregate({});
    EXPECT_EQ(snapshot.global, TokenUsageReport::empty());
    EXPECT_TRUE(snapshot.projects.isEmpty());
    EXPECT_FALSE(snapshot.weeklyAllowance);
    EXPECT_EQ(snapshot.indexedAt, now);
    EXPECT_TRUE(TokenUsageSnapshot::empty().indexedAt.isDistantPast());

    // Without a weekly window, the last seven days (604800 s) stand in for it.
    const TokenUsageSnapshot fallback =
        aggregate({usage(QStringLiteral("/p"), nowSeconds - 604800, 3),
                   usage(QStringLiteral("/p"), nowSeconds - 604801, 5)});
    EXPECT_EQ(fallback.global.weeklyWindowTokens, 3);
}

TEST(TokenUsageReport, projectsCoverThreadFoldersAndEventFolders)
{
    const TokenUsageSnapshot snapshot = aggregate(
        {usage(QStringLiteral("/a"), nowSeconds - 10, 7),
         usage(QStringLiteral("/gone"), nowSeconds - 10, 11)},
        {thread(QStringLiteral("/a"), 100), thread(QStringLiteral("/b"), 2000),
         thread(QStringLiteral("/b"), 3000)});
    ASSERT_EQ(snapshot.projects.size(), 3);
    TokenUsageReport onlyLifetime;
    onlyLifetime.lifetimeTokens = 5000;
    EXPECT_EQ(snapshot.projects.value(QStringLiteral("/b")), onlyLifetime);
    EXPECT_EQ(snapshot.projects.value(QStringLiteral("/a")).lifetimeTokens, 100);
    EXPECT_EQ(snapshot.projects.value(QStringLiteral("/a")).indexedTokens, 7);
    // No thread of the folder was passed: the lifetime is what the index counted, never less.
    EXPECT_EQ(snapshot.projects.value(QStringLiteral("/gone")).lifetimeTokens, 11);
    EXPECT_EQ(snapshot.projects.value(QStringLiteral("/gone")).indexedTokens, 11);
    EXPECT_EQ(snapshot.global.lifetimeTokens, 5100);
    EXPECT_EQ(snapshot.global.indexedTokens, 18);
}

TEST(TokenUsageReport, windowsHaveTheirBounds)
{
    const QString p = QStringLiteral("/p");
    const TokenUsageSnapshot snapshot = aggregate({
        usage(p, nowSeconds - 3600, 1),              // exactly an hour ago
        usage(p, nowSeconds - 3601, 2),              // earlier today
        usage(p, nowSeconds + 1, 4),                 // after now: not in the weekly window
        usage(p, utc(2026, 2, 1, 0, 0), 8),          // start of today
        usage(p, utc(2026, 1, 31, 23, 59), 16),      // yesterday
        usage(p, utc(2026, 1, 26, 0, 0), 32),        // start of the day six days ago
        usage(p, utc(2026, 1, 25, 23, 59), 64),      // seven days ago
    });
    const TokenUsageReport &report = snapshot.global;
    EXPECT_EQ(report.lastHourTokens, 1 + 4);
    EXPECT_EQ(report.todayTokens, 1 + 2 + 4 + 8);
    EXPECT_EQ(report.lastSevenDaysTokens, 1 + 2 + 4 + 8 + 16 + 32);
    EXPECT_EQ(report.weeklyWindowTokens, 1 + 2 + 8 + 16 + 32 + 64);
    EXPECT_EQ(report.indexedTokens, 127);
    EXPECT_EQ(snapshot.projects.value(p), report);
}

TEST(TokenUsageReport, seriesHoldOnlyHoursAndDaysWithEvents)
{
    const QString p = QStringLiteral("/p");
    const TokenUsageSnapshot snapshot = aggregate({
        usage(p, utc(2026, 2, 1, 11, 5), 10, QStringLiteral("gpt-5.5")),
        usage(p, utc(2026, 2, 1, 11, 55), 20, QStringLiteral("gpt-5.5")),
        usage(p, nowSeconds - 25 * 3600, 40),         // daily only
        usage(p, utc(2026, 1, 3, 0, 0), 80),          // the first day of the daily series
        usage(p, utc(2026, 1, 2, 23, 59), 160),       // before it
    });
    const TokenUsageReport &report = snapshot.global;
    EXPECT_EQ(dates(report.hourly), QList<double>{utc(2026, 2, 1, 11)});
    EXPECT_EQ(tokens(report.hourly), QList<qint64>{30});
    EXPECT_DOUBLE_EQ(report.hourly[0].estimatedCost, 2.5 * 30 / 1e6);
    EXPECT_EQ(dates(report.daily),
              (QList<double>{utc(2026, 1, 3, 0), utc(2026, 1, 31, 0), utc(2026, 2, 1, 0)}));
    EXPECT_EQ(tokens(report.daily), (QList<qint64>{80, 40, 30}));
    EXPECT_DOUBLE_EQ(report.estimatedCost, 2.5 * 30 / 1e6);
}

TEST(TokenUsageReport, daysAndHoursFollowTheLocalClockAcrossDaylightSavingChanges)
{
    const ScopedLocalTimeZone oslo("Europe/Oslo");
    // What the application passes by default: the system's zone, which follows TZ.
    const QTimeZone zone = QTimeZone::systemTimeZone();
    ASSERT_EQ(zone.id(), QByteArray("Europe/Oslo"));

    // 30 March 2025: clocks go from 02:00 CET to 03:00 CEST; the day has 23 hours.
    const QString p = QStringLiteral("/p");
    const TokenUsageSnapshot spring = aggregate(
        {
            usage(p, utc(2025, 3, 29, 22, 30), 1), // 23:30 CET on the 29th
            usage(p, utc(2025, 3, 29, 23, 30), 2), // 00:30 CET
            usage(p, utc(2025, 3, 30, 0, 30), 4),  // 01:30 CET
            usage(p, utc(2025, 3, 30, 1, 30), 8),  // 03:30 CEST
            usage(p, utc(2025, 3, 30, 22, 30), 16), // 00:30 CEST on the 31st, after now
        },
        {}, Timestamp::fromSeconds(utc(2025, 3, 30, 10)), zone);
    EXPECT_EQ(dates(spring.global.daily),
              (QList<double>{utc(2025, 3, 28, 23), utc(2025, 3, 29, 23), utc(2025, 3, 30, 22)}));
    EXPECT_EQ(tokens(spring.global.daily), (QList<qint64>{1, 14, 16}));
    EXPECT_EQ(dates(spring.global.hourly),
              (QList<double>{utc(2025, 3, 29, 22), utc(2025, 3, 29, 23), utc(2025, 3, 30, 0),
                             utc(2025, 3, 30, 1), utc(2025, 3, 30, 22)}));
    EXPECT_EQ(spring.global.todayTokens, 2 + 4 + 8 + 16);

    // 26 October 2025: clocks go from 03:00 CEST back to 02:00 CET; 02:xx comes twice, as two
    // clock hours, and the day has 25 hours.
    const TokenUsageSnapshot autumn = aggregate(
        {
            usage(p, utc(2025, 10, 25, 21, 30), 1), // 23:30 CEST on the 25th
            usage(p, utc(2025, 10, 25, 22, 30), 2), // 00:30 CEST
            usage(p, utc(2025, 10, 26, 0, 30), 4),  // 02:30 CEST
            usage(p, utc(2025, 10, 26, 1, 30), 8),  // 02:30 CET
            usage(p, utc(2025, 10, 26, 22, 59), 16), // 23:59 CET, the day's last minute
            usage(p, utc(2025, 10, 19, 22, 0), 32), // 00:00 CEST on the 20th: six days ago
            usage(p, utc(2025, 10, 19, 21, 59), 64), // 23:59 CEST on the 19th
        },
        {}, Timestamp::fromSeconds(utc(2025, 10, 26, 11)), zone);
    EXPECT_EQ(dates(autumn.global.hourly),
              (QList<double>{utc(2025, 10, 25, 21), utc(2025, 10, 25, 22),
                             utc(2025, 10, 26, 0), utc(2025, 10, 26, 1),
                             utc(2025, 10, 26, 22)}));
    EXPECT_EQ(tokens(autumn.global.hourly), (QList<qint64>{1, 2, 4, 8, 16}));
    EXPECT_EQ(dates(autumn.global.daily),
              (QList<double>{utc(2025, 10, 18, 22), utc(2025, 10, 19, 22),
                             utc(2025, 10, 24, 22), utc(2025, 10, 25, 22)}));
    EXPECT_EQ(tokens(autumn.global.daily), (QList<qint64>{64, 32, 1, 2 + 4 + 8 + 16}));
    EXPECT_EQ(autumn.global.todayTokens, 2 + 4 + 8 + 16);
    EXPECT_EQ(autumn.global.lastSevenDaysTokens, 1 + 2 + 4 + 8 + 16 + 32);
}

TEST(TokenUsageReport, eventsKeptOnlyInSumsGiveTheSameSnapshots)
{
    // A store keeps old events only in per-project sums and moves on with time; its snapshots
    // must be those of all events kept one by one.
    QRandomGenerator random(42);
    const QStringList projects{QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c")};
    const QList<std::optional<QString>> models{std::nullopt, QStringLiteral("gpt-5.5"),
                                               QStringLiteral("GPT-5.4-mini"),
                                               QStringLiteral("unknown")};
    QList<UsageEvent> events;
    for (int i = 0; i < 2000; ++i) {
        const double date = nowSeconds + 2 * 86400 - random.bounded(90.0 * 86400);
        UsageEvent event = usage(projects[random.bounded(3)], date, 1 + random.bounded(5000),
                                 models[random.bounded(4)]);
        event.cachedInput = random.bounded(6000);
        event.output = random.bounded(900);
        if (random.bounded(2)) {
            event.weeklyUsedPercent = random.bounded(100.0);
            event.weeklyWindowMinutes = 10080;
            event.weeklyResetsAt = Timestamp::fromSeconds(date + random.bounded(7.0 * 86400));
            event.planType = QStringLiteral("pro");
        }
        events.append(event);
    }
    const QList<CodexThread> threads{thread(QStringLiteral("/a"), 10)};

    const QTimeZone zone("Asia/Kathmandu"); // UTC+05:45: hours do not start on UTC hours
    TokenUsageAggregator folded(zone, now,
                                TokenUsageAggregator::defaultCutoff(zone, now));
    for (const UsageEvent &event : events.mid(0, 1500))
        folded.add(event);
    for (const double later : {0.0, 3600.0, 86400.0 + 60, 3 * 86400.0}) {
        SCOPED_TRACE(later);
        const Timestamp at = now.addingSeconds(later);
        ASSERT_TRUE(folded.covers(at));
        folded.advance(at);
        if (later == 86400.0 + 60) {
            for (const UsageEvent &event : events.mid(1500))
                folded.add(event);
        }
        const QList<UsageEvent> added = later >= 86400.0 ? events : events.mid(0, 1500);
        const TokenUsageSnapshot expected = aggregate(added, threads, at, zone);
        const TokenUsageSnapshot actual = folded.snapshot(threads, 0, at);
        EXPECT_TRUE(actual == expected);
        EXPECT_EQ(actual.global.hourly, expected.global.hourly);
        EXPECT_EQ(actual.global.daily, expected.global.daily);
        EXPECT_EQ(actual.weeklyAllowance, expected.weeklyAllowance);
        EXPECT_DOUBLE_EQ(actual.global.estimatedCost, expected.global.estimatedCost);
        if (later == 0.0) {
            EXPECT_FALSE(expected.global.hourly.isEmpty()) << "nothing compared";
        }
    }
    EXPECT_FALSE(folded.covers(now)) << "a snapshot before the horizon needs a new reading";
}

TEST(TokenPriceTable, pricesByModelName)
{
    struct Row
    {
        const char *model;
        qint64 input;
        qint64 cached;
        qint64 output;
        double cost;
    };
    const Row rows[] = {
        {"gpt-5.5", 1000000, 400000, 10000, 1.75}, // 2.5 × 0.6 + 0.25 × 0.4 + 15 × 0.01
        {"GPT-5.5", 1000000, 400000, 10000, 1.75},
        {"gpt-5.5", 1000, 5000, 0, 0.25 * 1000 / 1e6}, // cached beyond input: all cached
        {"gpt-5.5-mini", 1000000, 0, 1000000, 0.0},    // "gpt-5.5" must match whole
        {"gpt-5.4", 1000000, 0, 0, 2.5},
        {"GPT-5.4-Codex-Max", 0, 0, 1000000, 15.0},
        {"gpt-5.3-codex-spark", 1000000, 1000000, 0, 0.175},
        {"gpt-5.2-codex", 0, 0, 1000000, 14.0},
        {"gpt-5.6-sol-preview", 0, 0, 1000000, 15.0},
        {"gpt-5.6-terra", 1000000, 0, 1000000, 1.25 + 7.5},
        {"gpt-5.6-luna", 1000000, 1000000, 1000000, 0.05 + 3.0},
        {"gpt-5", 1000000, 0, 0, 0.0},
        {"o3", 1000000, 0, 0, 0.0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.model);
        EXPECT_DOUBLE_EQ(TokenPriceTable::cost(QString::fromLatin1(row.model), row.input,
                                               row.cached, row.output),
                         row.cost);
    }
    EXPECT_EQ(TokenPriceTable::cost(std::nullopt, 1000000, 0, 1000000), 0.0);

    // The worked example lands exactly in the reports, and an unpriced model still counts.
    UsageEvent priced = usage(QStringLiteral("/p"), nowSeconds - 60, 1010000,
                              QStringLiteral("gpt-5.5"));
    priced.cachedInput = 400000;
    priced.input = 1000000;
    priced.output = 10000;
    const TokenUsageSnapshot snapshot =
        aggregate({priced, usage(QStringLiteral("/p"), nowSeconds - 60, 5, QStringLiteral("x"))});
    EXPECT_EQ(snapshot.global.estimatedCost, 1.75);
    EXPECT_EQ(snapshot.global.indexedTokens, 1010005);
    EXPECT_EQ(snapshot.global.inputTokens, 1000005);
    EXPECT_EQ(snapshot.global.cachedInputTokens, 400000);
    EXPECT_EQ(snapshot.global.outputTokens, 10000);
}

TEST(TokenUsageReport, weeklyAllowanceComesFromTheLatestWeeklyWindow)
{
    const double week = 10080;
    const double resets = nowSeconds + 86400;
    struct Case
    {
        const char *name;
        QList<UsageEvent> events;
        std::optional<double> usedPercent; // absent: no allowance
    };
    const Case cases[] = {
        {"the later event decides, whatever the order",
         {weekly(nowSeconds - 10, 40, week, resets), weekly(nowSeconds - 20, 30, week, resets)},
         40},
        {"a window that reset already never decides",
         {weekly(nowSeconds - 20, 30, week, resets),
          weekly(nowSeconds - 10, 40, week, nowSeconds)},
         30},
        {"the five-hour window never decides",
         {weekly(nowSeconds - 20, 30, week, resets), weekly(nowSeconds - 10, 90, 300, resets)},
         30},
        {"equal dates: the first read wins",
         {weekly(nowSeconds - 10, 30, week, resets), weekly(nowSeconds - 10, 40, week, resets)},
         30},
        {"the latest without a percentage leaves none, older ones are not tried",
         {weekly(nowSeconds - 20, 30, week, resets),
          weekly(nowSeconds - 10, std::nullopt, week, resets)},
         std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TokenUsageSnapshot snapshot = aggregate(c.events);
        ASSERT_EQ(snapshot.weeklyAllowance.has_value(), c.usedPercent.has_value());
        if (c.usedPercent) {
            EXPECT_EQ(snapshot.weeklyAllowance->usedPercent, *c.usedPercent);
        }
    }

    // The window starts its length before it resets, and bounds the weekly tokens.
    const double start = resets - week * 60;
    const TokenUsageSnapshot snapshot = aggregate({
        weekly(nowSeconds - 10, 55.5, week, resets, QStringLiteral("pro")),
        usage(QStringLiteral("/p"), start, 100),
        usage(QStringLiteral("/p"), start - 1, 1000),
    });
    ASSERT_TRUE(snapshot.weeklyAllowance);
    EXPECT_EQ(snapshot.weeklyAllowance->resetsAt, Timestamp::fromSeconds(resets));
    EXPECT_EQ(snapshot.weeklyAllowance->windowStart, Timestamp::fromSeconds(start));
    EXPECT_EQ(snapshot.weeklyAllowance->planType, QStringLiteral("pro"));
    EXPECT_EQ(snapshot.global.weeklyWindowTokens, 101);
    EXPECT_EQ(snapshot.projects.value(QStringLiteral("/p")).weeklyWindowTokens, 100);
}

TEST(TokenUsageSnapshot, shareAndPlanValueOfAProject)
{
    const auto snapshotWith = [](std::optional<double> usedPercent,
                                 std::optional<QString> plan) {
        TokenUsageSnapshot snapshot;
        snapshot.global.weeklyWindowTokens = 1000;
        TokenUsageReport project;
        project.weeklyWindowTokens = 250;
        project.lifetimeTokens = 5000;
        snapshot.projects.insert(QStringLiteral("/p"), project);
        if (usedPercent)
            snapshot.weeklyAllowance = WeeklyAllowanceStatus{*usedPercent, {}, {}, plan};
        return snapshot;
    };
    const double proWeek = 2400.0 / 52;
    const QString p = QStringLiteral("/p");
    struct Case
    {
        const char *name;
        TokenUsageSnapshot snapshot;
        QString path;
        double contribution;
        std::optional<double> planValue;
    };
    const Case cases[] = {
        {"half used", snapshotWith(50, QStringLiteral("pro")), p, 0.125,
         proWeek * 5000 / 2000},
        {"over the limit counts as all of it", snapshotWith(150, QStringLiteral("Pro")), p,
         0.25, proWeek * 5000 / 1000},
        {"prolite", snapshotWith(100, QStringLiteral("ProLite")), p, 0.25,
         1200.0 / 52 * 5000 / 1000},
        {"another plan has no value", snapshotWith(100, QStringLiteral("plus")), p, 0.25,
         std::nullopt},
        {"no plan", snapshotWith(100, std::nullopt), p, 0.25, std::nullopt},
        {"nothing used", snapshotWith(0, QStringLiteral("pro")), p, 0.0, std::nullopt},
        {"negative", snapshotWith(-5, QStringLiteral("pro")), p, 0.0, std::nullopt},
        {"unknown project", snapshotWith(50, QStringLiteral("pro")), QStringLiteral("/x"), 0.0,
         0.0},
        {"no weekly window", snapshotWith(std::nullopt, std::nullopt), p, 0.0, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(c.snapshot.weeklyAllowanceContribution(c.path), c.contribution);
        const std::optional<double> value = c.snapshot.lifetimePlanValue(c.path);
        ASSERT_EQ(value.has_value(), c.planValue.has_value());
        if (value) {
            EXPECT_DOUBLE_EQ(*value, *c.planValue);
        }
    }

    TokenUsageSnapshot idle = snapshotWith(50, QStringLiteral("pro"));
    idle.global.weeklyWindowTokens = 0;
    EXPECT_EQ(idle.weeklyAllowanceContribution(p), 0.0);
    EXPECT_FALSE(idle.lifetimePlanValue(p));
}

namespace {

// Everything a snapshot shows, without when it was made.
struct Figures
{
    TokenUsageReport global;
    QHash<QString, TokenUsageReport> projects;
    std::optional<WeeklyAllowanceStatus> weeklyAllowance;
    friend bool operator==(const Figures &, const Figures &) = default;
};

Figures figures(const TokenUsageSnapshot &snapshot)
{
    return {snapshot.global, snapshot.projects, snapshot.weeklyAllowance};
}

} // namespace

TEST(TokenUsageReport, figuresChangeOnlyAtTheBoundariesTheSnapshotNames)
{
    const QTimeZone zone("America/New_York");
    // 2026-02-01T12:00:00Z is 07:00 in New York; local midnight is 05:00 UTC.
    const QList<UsageEvent> events{
        usage(QStringLiteral("/a"), nowSeconds - 1500, 100),
        usage(QStringLiteral("/a"), nowSeconds - 5 * 3600 - 600, 40), // 01:50 local
        usage(QStringLiteral("/b"), nowSeconds - 3 * 86400, 7),
        usage(QStringLiteral("/b"), nowSeconds + 5000, 3), // written with a clock ahead
        weekly(nowSeconds - 300, 20.0, 10080, nowSeconds + 40 * 3600),
    };
    TokenUsageAggregator aggregator(zone, now);
    for (const UsageEvent &event : events)
        aggregator.add(event);
    const QList<CodexThread> threads{thread(QStringLiteral("/a"), 1000)};

    Timestamp at = now;
    QList<double> boundaries;
    while (at.seconds < nowSeconds + 9 * 86400) {
        const TokenUsageSnapshot snapshot = aggregator.snapshot(threads, 0, at);
        if (!snapshot.nextBoundaryAt)
            break;
        const Timestamp next = *snapshot.nextBoundaryAt;
        ASSERT_GT(next.seconds, at.seconds);
        // Nothing moves between two boundaries.
        EXPECT_EQ(figures(aggregator.snapshot(threads, 0, next.addingSeconds(-0.001))),
                  figures(snapshot))
            << "between " << at.seconds << " and " << next.seconds;
        boundaries.append(next.seconds);
        at = next;
    }
    const double localMidnight = utc(2026, 2, 2, 5);
    EXPECT_TRUE(boundaries.contains(nowSeconds - 1500 + 3600.001)) << "leaves the last hour";
    EXPECT_TRUE(boundaries.contains(nowSeconds + 5000)) << "enters the weekly window";
    EXPECT_TRUE(boundaries.contains(nowSeconds + 40 * 3600)) << "the weekly window resets";
    EXPECT_TRUE(boundaries.contains(localMidnight));

    const TokenUsageSnapshot beforeMidnight =
        aggregator.snapshot(threads, 0, Timestamp::fromSeconds(localMidnight - 1));
    const TokenUsageSnapshot afterMidnight =
        aggregator.snapshot(threads, 0, Timestamp::fromSeconds(localMidnight));
    EXPECT_EQ(beforeMidnight.global.todayTokens, 144);
    EXPECT_EQ(afterMidnight.global.todayTokens, 0);
    EXPECT_EQ(afterMidnight.global.lastSevenDaysTokens, 151);
    const TokenUsageSnapshot anHourLater =
        aggregator.snapshot(threads, 0, Timestamp::fromSeconds(nowSeconds - 1500 + 3600.001));
    // Left: the event of 100. Still in: the weekly-window event and the one dated ahead.
    EXPECT_EQ(anHourLater.global.lastHourTokens, 1 + 3);
}

TEST(TokenUsageReport, theLifetimeShownIsNeverBelowTheWindows)
{
    // Threads passed without their archived ones (Codex's counts of 10), events of 500.
    const TokenUsageSnapshot snapshot =
        aggregate({usage(QStringLiteral("/a"), nowSeconds - 60, 500)},
                  {thread(QStringLiteral("/a"), 10)});
    for (const TokenUsageReport &report :
         {snapshot.global, snapshot.projects.value(QStringLiteral("/a"))}) {
        EXPECT_GE(report.lifetimeTokens, report.lastSevenDaysTokens);
        EXPECT_GE(report.lastSevenDaysTokens, report.todayTokens);
        EXPECT_GE(report.todayTokens, report.lastHourTokens);
        EXPECT_EQ(report.lifetimeTokens, 500);
    }
}

TEST(TokenUsageReport, eventsAddedBetweenSnapshotsGiveTheSnapshotsOfAllEventsAtOnce)
{
    // One aggregator takes events in batches between snapshots, as a paced index does, and
    // places only the new ones while no boundary has passed; each of its snapshots must be
    // the one made from every event at once.
    QRandomGenerator random(7);
    const QStringList projects{QStringLiteral("/a"), QStringLiteral("/b/"), QStringLiteral("/b"),
                               QStringLiteral("/c")};
    const QList<std::optional<QString>> models{std::nullopt, QStringLiteral("gpt-5.5")};
    const QTimeZone zone("Asia/Kathmandu");
    QList<CodexThread> threads{thread(QStringLiteral("/a"), 10), thread(QStringLiteral("/b"), 5)};
    TokenUsageAggregator incremental(zone, now);
    QList<UsageEvent> added;
    Timestamp at = now;
    int placedOnly = 0; // snapshots made before the last one's boundary, events added between
    for (int step = 0; step < 60; ++step) {
        SCOPED_TRACE(step);
        const int count = int(random.bounded(4));
        for (int i = 0; i < count; ++i) {
            // Mostly recent, some in the last hour, some ahead of the clock.
            const double date = at.seconds + 600 - random.bounded(3.0 * 86400);
            UsageEvent event = usage(projects[int(random.bounded(projects.size()))], date,
                                     1 + random.bounded(900), models[random.bounded(2)]);
            event.output = random.bounded(50);
            if (random.bounded(8) == 0) {
                event.weeklyUsedPercent = random.bounded(100.0);
                event.weeklyWindowMinutes = 10080;
                event.weeklyResetsAt = Timestamp::fromSeconds(date + random.bounded(4.0 * 86400));
            }
            added.append(event);
            incremental.add(event);
        }
        if (step == 30)
            threads[0].tokensUsed = 99; // the list changed after a snapshot
        const TokenUsageSnapshot before = incremental.snapshot(threads, 0, at);
        const TokenUsageSnapshot expected = aggregate(added, threads, at, zone);
        ASSERT_TRUE(before == expected);
        EXPECT_EQ(before.global.hourly, expected.global.hourly);
        EXPECT_EQ(before.projects, expected.projects);
        EXPECT_DOUBLE_EQ(before.global.estimatedCost, expected.global.estimatedCost);
        // Either a short step that stays before the boundary, or one onto it or past it.
        const double boundary = before.nextBoundaryAt ? before.nextBoundaryAt->seconds
                                                      : at.seconds + 3600;
        const double shortStep = std::min(random.bounded(120.0), (boundary - at.seconds) / 2);
        const bool onward = random.bounded(3) == 0;
        if (!onward && count > 0)
            ++placedOnly;
        at = Timestamp::fromSeconds(onward ? boundary + random.bounded(2) * random.bounded(7200.0)
                                           : at.seconds + shortStep);
    }
    EXPECT_GT(placedOnly, 10) << "too few snapshots placed events added since the last";
}

TEST(TokenUsageReport, theClockMovingOnGivesTheSnapshotsOfAllEventsAtOnce)
{
    // As the store keeps one: events folded at the usual cutoff, moved on to each time before
    // its snapshot, made again from every event when it no longer covers the time. Its
    // snapshots, while the clock moves on by seconds to hours and now and then past a day,
    // events arrive (some dated ahead of the clock) and weekly windows reset and change, must
    // be those made from every event at once.
    QRandomGenerator random(11);
    const QStringList projects{QStringLiteral("/a"), QStringLiteral("/b/"), QStringLiteral("/b"),
                               QStringLiteral("/c")};
    const QList<std::optional<QString>> models{std::nullopt, QStringLiteral("gpt-5.5"),
                                               QStringLiteral("gpt-5.4-mini")};
    for (const char *zoneName : {"Asia/Kathmandu", "America/New_York"}) {
        SCOPED_TRACE(zoneName);
        const QTimeZone zone(zoneName);
        // A week before New York leaves daylight saving time.
        Timestamp at = Timestamp::fromSeconds(1793000000.0);
        const QList<CodexThread> threads{thread(QStringLiteral("/a"), 10)};
        QList<UsageEvent> all;
        const auto folded = [&] {
            // Once more from an earlier cutoff when a weekly window begins before the usual.
            std::unique_ptr<TokenUsageAggregator> aggregator;
            double cutoff = TokenUsageAggregator::defaultCutoff(zone, at);
            for (int attempt = 0; attempt < 2 && !(aggregator && aggregator->covers(at));
                 ++attempt) {
                aggregator = std::make_unique<TokenUsageAggregator>(zone, at, cutoff);
                for (const UsageEvent &event : all)
                    aggregator->add(event);
                cutoff = aggregator->windowsStart(at);
            }
            return aggregator;
        };
        std::unique_ptr<TokenUsageAggregator> kept = folded();
        int slid = 0; // snapshots after a move of the clock that kept the day
        for (int step = 0; step < 150; ++step) {
            SCOPED_TRACE(step);
            for (int i = int(random.bounded(5)); i > 0; --i) {
                // Some dated hours ahead, past the hours the series holds for now.
                const double date = random.bounded(8) == 0
                    ? at.seconds + random.bounded(4.0 * 3600)
                    : at.seconds + 600 - random.bounded(10.0 * 86400);
                UsageEvent event = usage(projects[int(random.bounded(projects.size()))], date,
                                         1 + random.bounded(900),
                                         models[int(random.bounded(models.size()))]);
                event.output = random.bounded(50);
                event.cachedInput = random.bounded(event.input + 1);
                if (random.bounded(6) == 0) {
                    event.weeklyUsedPercent = random.bounded(100.0);
                    event.weeklyWindowMinutes = random.bounded(10) == 0 ? 60000 : 10080;
                    event.weeklyResetsAt =
                        Timestamp::fromSeconds(date + random.bounded(7.0 * 86400));
                }
                all.append(event);
                kept->add(event);
            }
            if (!kept->covers(at))
                kept = folded();
            kept->advance(at);
            const TokenUsageSnapshot moved = kept->snapshot(threads, 0, at);
            const TokenUsageSnapshot expected = aggregate(all, threads, at, zone);
            ASSERT_TRUE(moved == expected);
            const int kind = int(random.bounded(10));
            const double step_ = kind == 0 ? 0.0
                : kind == 1                ? 86400.0 + random.bounded(7200.0)
                : kind < 5                 ? random.bounded(120.0)
                                           : random.bounded(3.0 * 3600);
            const Timestamp next = at.addingSeconds(step_);
            if (kind != 1 && QDateTime::fromSecsSinceEpoch(qint64(next.seconds), zone).date()
                    == QDateTime::fromSecsSinceEpoch(qint64(at.seconds), zone).date())
                ++slid;
            at = next;
        }
        EXPECT_GT(slid, 60);
    }
}
