#include "app/cards/RelativeTimeRedrawTimer.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace std::chrono_literals;

namespace {

const Timestamp now = Timestamp::fromSeconds(1769947200.25);

TEST(RelativeTimeRedrawTimer, waitsUntilTheYoungestTextChanges)
{
    RelativeTimeRedrawTimer timer(nullptr, [] { return now; });
    timer.setVisible(true);
    struct Row
    {
        const char *name;
        QList<double> agesInSeconds;
        std::chrono::milliseconds expected;
    };
    const Row rows[] = {
        {"seconds: every second", {0.25}, 750ms},
        {"a minute and a bit: when it turns two", {65}, 55s},
        {"the youngest decides", {7300, 130.5}, 49500ms},
        {"hours: when the hour turns", {2 * 3600 + 600}, 3000s},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QList<Timestamp> dates;
        for (const double age : row.agesInSeconds)
            dates.append(now.addingSeconds(-age));
        timer.setShownDates(dates);
        EXPECT_TRUE(timer.isRunning());
        EXPECT_EQ(timer.interval(), row.expected);
    }
    timer.setShownDates({});
    EXPECT_FALSE(timer.isRunning()) << "nothing shown, nothing to redraw";
}

TEST(RelativeTimeRedrawTimer, runsNoTimerWhileHiddenAndRedrawsOnceShown)
{
    RelativeTimeRedrawTimer timer(nullptr, [] { return now; });
    QSignalSpy redraws(&timer, &RelativeTimeRedrawTimer::redrawNeeded);
    timer.setShownDates({now});
    EXPECT_FALSE(timer.isRunning()) << "not shown yet";
    timer.setVisible(true);
    EXPECT_TRUE(timer.isRunning());
    EXPECT_EQ(redraws.count(), 1);
    timer.setVisible(false);
    EXPECT_FALSE(timer.isRunning());
    timer.setShownDates({now.addingSeconds(-1)});
    EXPECT_FALSE(timer.isRunning());
}

TEST(RelativeTimeRedrawTimer, asksForARedrawWhenTheTextChanges)
{
    // The real clock: "0 sec. ago" must not stay.
    RelativeTimeRedrawTimer timer;
    timer.setVisible(true);
    QSignalSpy redraws(&timer, &RelativeTimeRedrawTimer::redrawNeeded);
    timer.setShownDates({Timestamp::now()});
    EXPECT_TRUE(redraws.wait(5000));
    EXPECT_TRUE(timer.isRunning()) << "armed again for the next second";
}

} // namespace
