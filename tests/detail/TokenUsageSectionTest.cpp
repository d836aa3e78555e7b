// The Overview's token-usage card: its figures as a reader sees them, the chart or its
// placeholder per period over a real coordinator, and the chart's bars and axis labels.
#include "app/BrowserWorld.h"
#include "detail/sections/TokenUsageChart.h"
#include "detail/sections/TokenUsageSection.h"
#include "support/codex/RolloutLines.h"
#include "support/WaitUntil.h"
#include "support/widgets/Palettes.h"
#include "support/widgets/ScopedFocusIndicatorStyle.h"
#include "widgets/RoundedPanel.h"
#include "widgets/SystemColors.h"

#include <QAccessible>
#include <QDateTime>
#include <QHBoxLayout>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

const QLocale english(QLocale::English, QLocale::UnitedStates);
const QString project = QStringLiteral("/work/app");

TokenUsageSnapshot snapshotWithAllowance(double usedPercent, std::optional<QString> plan)
{
    TokenUsageSnapshot snapshot;
    snapshot.global.weeklyWindowTokens = 1000;
    TokenUsageReport report;
    report.weeklyWindowTokens = 65;
    report.lifetimeTokens = 1'234'567;
    snapshot.projects.insert(project, report);
    snapshot.weeklyAllowance = WeeklyAllowanceStatus{usedPercent, {}, {}, std::move(plan)};
    return snapshot;
}

UsageMetric metric(const QList<UsageMetric> &metrics, const QString &label)
{
    for (const UsageMetric &each : metrics) {
        if (each.label == label)
            return each;
    }
    ADD_FAILURE() << "no tile " << label.toStdString();
    return {};
}

Timestamp localMidnight(int daysAgo)
{
    return Timestamp::fromDateTime(
        QDate::currentDate().addDays(-daysAgo).startOfDay());
}

} // namespace

TEST(TokenUsageFigures, shareColourTakesTheColourAboveAtEachBound)
{
    const struct
    {
        double share;
        UsageColor color;
    } rows[] = {
        {0.0, UsageColor::purple},   {0.0499, UsageColor::purple}, {0.05, UsageColor::orange},
        {0.0999, UsageColor::orange}, {0.1, UsageColor::red},      {1.0, UsageColor::red},
    };
    for (const auto &row : rows)
        EXPECT_EQ(weeklyShareColor(row.share), row.color) << row.share;
}

TEST(TokenUsageFigures, withoutAllowanceTheTilesWaitForCodexAndShowNoEstimate)
{
    const QList<UsageMetric> metrics =
        tokenUsageMetrics(TokenUsageReport::empty(), TokenUsageSnapshot::empty(), project,
                          english);
    ASSERT_EQ(metrics.size(), 5);
    EXPECT_EQ(metrics.at(0), (UsageMetric{QStringLiteral("Lifetime"), QStringLiteral("0"),
                                          QStringLiteral("all project chats"),
                                          UsageColor::primary}));
    EXPECT_EQ(metric(metrics, QStringLiteral("Weekly Limit")),
              (UsageMetric{QStringLiteral("Weekly Limit"), QStringLiteral("0%"),
                           QStringLiteral("waiting for Codex usage status"),
                           UsageColor::purple}));
    EXPECT_EQ(metric(metrics, QStringLiteral("Total Estimate")).value, QStringLiteral("--"));
}

TEST(TokenUsageFigures, aProjectWithoutUsageIsWorthZeroDollarsWhenThePlanIsKnown)
{
    const TokenUsageSnapshot snapshot = snapshotWithAllowance(40, QStringLiteral("pro"));
    const QList<UsageMetric> none =
        tokenUsageMetrics(TokenUsageReport::empty(), snapshot, QStringLiteral("/elsewhere"),
                          english);
    EXPECT_EQ(metric(none, QStringLiteral("Total Estimate")).value, QStringLiteral("$0.00"));
    EXPECT_EQ(metric(none, QStringLiteral("Weekly Limit")).value, QStringLiteral("0%"));
    EXPECT_EQ(metric(none, QStringLiteral("Weekly Limit")).detail,
              QStringLiteral("of allowance \u00B7 40% used overall"));

    // 65 of the window's 1000 tokens, with 40% of the allowance used: 2.6%.
    const QList<UsageMetric> shown =
        tokenUsageMetrics(snapshot.projects.value(project), snapshot, project, english);
    EXPECT_EQ(metric(shown, QStringLiteral("Weekly Limit")).value, QStringLiteral("2.6%"));
    EXPECT_EQ(metric(shown, QStringLiteral("Lifetime")).value, QStringLiteral("1.2M"));
    EXPECT_TRUE(metric(shown, QStringLiteral("Total Estimate")).value.startsWith(u'$'));
    EXPECT_EQ(metric(tokenUsageMetrics(TokenUsageReport::empty(), snapshot,
                                       QStringLiteral("/elsewhere"), QLocale::c()),
                     QStringLiteral("Total Estimate"))
                  .value,
              QStringLiteral("$0.00"));
}

TEST(TokenUsageFigures, theAllowanceLineDependsOnlyOnTheAllowanceBeingKnown)
{
    const struct
    {
        double usedPercent;
        QString line;
        QString share;
    } rows[] = {
        {0, QStringLiteral("of allowance \u00B7 0% used overall"), QStringLiteral("0%")},
        {42.5, QStringLiteral("of allowance \u00B7 42.5% used overall"),
         QStringLiteral("2.76%")},
        {50, QStringLiteral("of allowance \u00B7 50% used overall"), QStringLiteral("3.25%")},
    };
    for (const auto &row : rows) {
        // Without a plan the estimate is unknown, whatever the allowance says.
        const TokenUsageSnapshot snapshot = snapshotWithAllowance(row.usedPercent, std::nullopt);
        const QList<UsageMetric> metrics =
            tokenUsageMetrics(snapshot.projects.value(project), snapshot, project, english);
        const UsageMetric limit = metric(metrics, QStringLiteral("Weekly Limit"));
        EXPECT_EQ(limit.detail, row.line);
        EXPECT_EQ(limit.value, row.share) << row.usedPercent;
        EXPECT_EQ(metric(metrics, QStringLiteral("Total Estimate")).value,
                  QStringLiteral("--"));
    }
}

TEST(TokenUsageChart, aSeriesWithoutAnyTokenDrawsNoChart)
{
    EXPECT_FALSE(hasChartableUsage({}));
    EXPECT_FALSE(hasChartableUsage({{localMidnight(2), 0, 0}, {localMidnight(1), 0, 0}}));
    EXPECT_TRUE(hasChartableUsage({{localMidnight(2), 0, 0}, {localMidnight(1), 1, 0}}));
}

TEST(TokenUsageChart, chartsEveryHourOrDayOfThePeriodWithEmptyBarsBetweenUsage)
{
    const QDateTime noon(QDate::currentDate(), QTime(12, 30));
    const Timestamp now = Timestamp::fromDateTime(noon);
    const Timestamp hour = Timestamp::fromDateTime(QDateTime(noon.date(), QTime(12, 0)));
    const QList<TokenUsageBar> hours = tokenUsageBars(
        {{hour.addingSeconds(-5 * 3600), 7, 0}, {hour.addingSeconds(-2 * 3600), 9, 0}},
        TokenUsagePeriod::hourly, now);
    ASSERT_EQ(hours.size(), 24);
    EXPECT_EQ(hours.front(), (TokenUsageBar{hour.addingSeconds(-23 * 3600), 0}));
    EXPECT_EQ(hours.at(18), (TokenUsageBar{hour.addingSeconds(-5 * 3600), 7}));
    EXPECT_EQ(hours.at(19).tokens, 0);
    EXPECT_EQ(hours.at(21).tokens, 9);
    EXPECT_EQ(hours.back(), (TokenUsageBar{hour, 0}));
    EXPECT_EQ(tokenUsageLabelledBars(hours, TokenUsagePeriod::hourly).size(), 6);

    const QList<TokenUsageBar> days = tokenUsageBars({{localMidnight(29), 3, 0}},
                                                     TokenUsagePeriod::daily, Timestamp::now());
    ASSERT_EQ(days.size(), 30);
    EXPECT_EQ(days.front(), (TokenUsageBar{localMidnight(29), 3}));
    EXPECT_EQ(days.back(), (TokenUsageBar{localMidnight(0), 0}));
    const QList<qsizetype> labelled = tokenUsageLabelledBars(days, TokenUsagePeriod::daily);
    EXPECT_GE(labelled.size(), 5);
    EXPECT_LE(labelled.size(), 7);

    // A point older than the period widens it rather than being dropped.
    EXPECT_EQ(tokenUsageBars({{localMidnight(40), 1, 0}}, TokenUsagePeriod::daily,
                             Timestamp::now())
                  .size(),
              41);
}

TEST(TokenUsageChart, daysReadInTheOrderAndWordsOfTheLocale)
{
    const QDate day(2025, 11, 8);
    const Timestamp start = Timestamp::fromDateTime(day.startOfDay());
    const struct
    {
        QLocale locale;
        QString label;
    } rows[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral("Nov 8")},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), QStringLiteral("8 Nov")},
        {QLocale(QLocale::German, QLocale::Germany), QStringLiteral("8. Nov.")},
        {QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("11月8日")},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(tokenUsageBarLabel(start, TokenUsagePeriod::daily, row.locale), row.label)
            << row.locale.name().toStdString();
    }

    // The chart writes its labels in the user's locale.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    TokenUsageChart chart;
    chart.setSeries({{localMidnight(3), 10, 0}}, TokenUsagePeriod::daily);
    QLocale::setDefault(previous);
    const QDate first = QDateTime::fromMSecsSinceEpoch(localMidnight(29).milliseconds()).date();
    EXPECT_EQ(chart.timeLabels().constFirst(),
              QString::number(first.day()) + QLatin1Char(' ')
                  + QLocale(QLocale::English, QLocale::UnitedKingdom)
                        .monthName(first.month(), QLocale::ShortFormat));
}

// A screen reader hears the chart's period and its values, not an unnamed picture.
TEST(TokenUsageChart, readsAsItsPeriodAndASummaryOfItsValues)
{
    const QLocale british(QLocale::English, QLocale::UnitedKingdom);
    const Timestamp fourth = Timestamp::fromDateTime(QDate(2026, 3, 4).startOfDay());
    const Timestamp sixth = Timestamp::fromDateTime(QDate(2026, 3, 6).startOfDay());
    const QList<TokenUsageBar> bars{{fourth, 300}, {fourth.addingSeconds(86400), 0},
                                    {sixth, 1000}};
    EXPECT_EQ(tokenUsageChartSummary(bars, TokenUsagePeriod::daily, british),
              QStringLiteral("1.3K tokens in all. 4 Mar: 300, 6 Mar: 1K"));
    EXPECT_EQ(tokenUsageChartSummary({{fourth, 0}}, TokenUsagePeriod::daily, british),
              QStringLiteral("No token usage."));

    TokenUsageChart chart;
    chart.setSeries({{localMidnight(3), 1500, 0}}, TokenUsagePeriod::daily);
    QAccessibleInterface *node = QAccessible::queryAccessibleInterface(&chart);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->text(QAccessible::Name), QStringLiteral("Token usage, 30 Days"));
    EXPECT_TRUE(node->text(QAccessible::Description)
                    .startsWith(QStringLiteral("1.5K tokens in all. ")));
    EXPECT_TRUE(chart.focusPolicy() & Qt::TabFocus);
}

TEST(TokenUsageChart, theTokenAxisCountsInRoundCompactSteps)
{
    const struct
    {
        qint64 largest;
        QList<qint64> marks;
    } rows[] = {
        {0, {0}},
        {1, {0, 1}},
        {3, {0, 1, 2, 3}},
        {950, {0, 500, 1000}},
        {1'234'567, {0, 500'000, 1'000'000, 1'500'000}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(tokenUsageAxisMarks(row.largest), row.marks) << row.largest;

    TokenUsageChart chart;
    chart.setSeries({{localMidnight(3), 1'234'567, 0}, {localMidnight(1), 20, 0}},
                    TokenUsagePeriod::daily);
    EXPECT_EQ(chart.tokenLabels(), (QStringList{QStringLiteral("0"), QStringLiteral("500K"),
                                                QStringLiteral("1M"), QStringLiteral("1.5M")}));
    EXPECT_EQ(chart.bars().size(), 30);
    EXPECT_EQ(chart.timeLabels().constFirst(),
              tokenUsageBarLabel(localMidnight(29), TokenUsagePeriod::daily));
}

// The chart shows the keyboard focus with the ring every other control has: along each edge,
// less the rounded corners, a line of pixels changes by 3:1 or more when it takes the focus, on
// the usage card in light and dark palettes. The card shows through the chart.
TEST(TokenUsageChart, itsFocusFrameKeepsThreeToOneAllRoundInLightAndDarkPalettes)
{
    ScopedFocusIndicatorStyle style;
    constexpr int corner = 4;
    constexpr int band = 3;
    for (const auto &[paletteName, palette] :
         {std::pair{"light", lightPalette()}, std::pair{"dark", darkPalette()}}) {
        SCOPED_TRACE(paletteName);
        ScopedPalette scoped(palette);
        QWidget window;
        auto *card = new RoundedPanel(8, &window);
        auto *chart = new TokenUsageChart(card);
        chart->setSeries({{localMidnight(3), 1500, 0}, {localMidnight(1), 700, 0}},
                         TokenUsagePeriod::daily);
        (new QHBoxLayout(card))->addWidget(chart);
        (new QHBoxLayout(&window))->addWidget(card);
        window.resize(440, 280);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

        const QRect area(chart->mapTo(&window, QPoint()), chart->size());
        window.setAttribute(Qt::WA_KeyboardFocusChange);
        chart->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(chart->hasFocus());
        const QImage focused = window.grab(area).toImage();
        chart->clearFocus();
        const QImage unfocused = window.grab(area).toImage();
        EXPECT_EQ(unfocused.pixelColor(1, 1), SystemColors::controlBackground(palette));

        const auto strong = [&](int x, int y) {
            return SystemColors::contrastRatio(focused.pixelColor(x, y),
                                               unfocused.pixelColor(x, y))
                >= SystemColors::minimumContrast;
        };
        // Each position along an edge needs a strong pixel within `band` of that edge.
        const auto edgeHolds = [&](int position, bool acrossX, bool far) {
            const int depth = acrossX ? focused.height() : focused.width();
            for (int step = 0; step < band; ++step) {
                const int inward = far ? depth - 1 - step : step;
                if (acrossX ? strong(position, inward) : strong(inward, position))
                    return true;
            }
            return false;
        };
        int weak = 0;
        for (const bool far : {false, true}) {
            for (int x = corner; x < focused.width() - corner; ++x)
                weak += edgeHolds(x, true, far) ? 0 : 1;
            for (int y = corner; y < focused.height() - corner; ++y)
                weak += edgeHolds(y, false, far) ? 0 : 1;
        }
        EXPECT_EQ(weak, 0);
    }
}

TEST(TokenUsageSection, chartsOnlyAPeriodWithUsageAndStartsAtThirtyDaysWhenShownAnew)
{
    BrowserWorld world;
    const QString path = world.addProject(QStringLiteral("alpha"), 1);
    // Usage three days ago: the daily series has it, the last 24 hours have none.
    rollout::TokenCount count;
    count.last.input = 1500;
    count.total.input = 1500;
    world.codex.appendRolloutLines(QStringLiteral("alpha-0"),
                                   rollout::tokenCount(localMidnight(3).addingSeconds(3600),
                                                       count));
    ProjectListViewModel &model = world.makeModel();
    TokenUsageSection section(model, path);
    section.show();
    EXPECT_FALSE(section.isShowingChart());

    ASSERT_TRUE(world.refresh());
    ASSERT_TRUE(waitUntil([&] {
        return model.tokenUsage(path).indexedTokens == 1500 && !model.isIndexingTokenUsage();
    }));
    ASSERT_TRUE(waitUntil([&] { return section.isShowingChart(); }));
    EXPECT_EQ(section.period(), TokenUsagePeriod::daily);
    EXPECT_FALSE(section.isShowingProgress());

    section.setPeriod(TokenUsagePeriod::hourly);
    EXPECT_FALSE(section.isShowingChart());
    EXPECT_EQ(section.placeholderText(), TokenUsageSection::noUsageText);
    EXPECT_EQ(metric(section.shownMetrics(), QStringLiteral("Last 7 Days")).value,
              QStringLiteral("1.5K"));

    section.hide();
    section.show();
    EXPECT_EQ(section.period(), TokenUsagePeriod::daily);
    EXPECT_TRUE(section.isShowingChart());
}
