// How the aggregation places events in the windows and series of a moment, and moves what it
// placed on as the clock moves.

#include "data/token_usage/TokenUsageAggregator.h"

#include "data/token_usage/TokenPlacedReports.h"
#include "data/token_usage/TokenReportAccumulator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace tolvaran::Internal {

namespace {

// The hours of the series when they were placed, and as many again for the hours a day adds
// to them as the clock moves on.
constexpr size_t maximumMovedHourBoundaries = 80;

// A clock hour or a calendar day: [start, end).
struct Interval
{
    double start = 0.0;
    double end = 0.0;
    bool contains(double value) const { return value >= start && value < end; }
};

} // namespace

// Places the events of m_recent from `first` on in the windows and series of `now`.
void TokenUsageAggregator::placeFrom(size_t first, Timestamp now) const
{
    TokenPlacedReports &placed = *m_placed;
    const double nowSeconds = now.seconds;
    const std::vector<double> &hours = placed.hours;
    const std::vector<double> &days = placed.days;
    const double weeklyStart = placed.weeklyStart;
    const double lastHourStart = nowSeconds - lastHourSeconds;
    const double todayStart = days[size_t(dailySeriesDays - 1)];
    const double sevenDaysStart = days[size_t(dailySeriesDays - sevenDayWindowDays)];
    const double hourSeriesStart = nowSeconds - hourlySeriesSeconds;
    const double daySeriesStart = days.front();
    const double windowsBegin = std::min({lastHourStart, sevenDaysStart, hourSeriesStart,
                                          daySeriesStart, weeklyStart});

    // Dates past the boundaries (in the future) are placed by asking the calendar, once per
    // hour or day they fall in.
    Interval laterHour;
    Interval laterDay;
    const auto laterHourOf = [&](double date) {
        if (!laterHour.contains(date)) {
            const double start = hourStart(date);
            laterHour = {start, std::max(hourStart(start + 3600.0), start + 1.0)};
        }
        return laterHour.start;
    };
    const auto laterDayOf = [&](double date) {
        if (!laterDay.contains(date)) {
            const double start = dayStart(date);
            // Days last 23 to 25 hours: 26 hours on is always within the next day.
            laterDay = {start, std::max(dayStart(start + 26 * 3600.0), start + 1.0)};
        }
        return laterDay.start;
    };

    for (size_t i = first; i < m_recent.size(); ++i) {
        const CompactEvent &event = m_recent[i];
        const double date = event.date;
        if (date < windowsBegin)
            continue;
        TokenUsagePlacement placement;
        placement.lastHour = date >= lastHourStart;
        placement.today = date >= todayStart;
        placement.sevenDays = date >= sevenDaysStart;
        placement.weeklyWindow = date >= weeklyStart && date <= nowSeconds;
        if (date >= hourSeriesStart) {
            placement.hour = tokenBucketIndex(hours, date);
            if (placement.hour < 0)
                placement.laterHour = laterHourOf(date);
        }
        if (date >= daySeriesStart) {
            placement.day = tokenBucketIndex(days, date);
            if (placement.day < 0)
                placement.laterDay = laterDayOf(date);
        }
        const double cost = eventCost(event.model, event.input, event.cachedInput, event.output);
        placed.global.place(event.total, cost, placement, hours.size(), days.size());
        placed.projects[size_t(placed.reportOf[size_t(event.project)])].place(
            event.total, cost, placement, hours.size(), days.size());
    }
}

// Moves what was placed at `placed.at` to `now` on the same day, visiting only the events
// the clock moved: out of the last hour, out of the hourly series, into or out of the weekly
// window (its start moves with the clock or with the allowance, its end with the clock).
// False when that cannot be done (another day, the clock went back): then everything is
// placed again.
bool TokenUsageAggregator::slidePlaced(Timestamp now, double weeklyStart) const
{
    TokenPlacedReports &placed = *m_placed;
    const double from = placed.at;
    const double to = now.seconds;
    if (!(to >= from) || to < placed.days[size_t(dailySeriesDays - 1)]
        || to >= placed.days.back())
        return false;
    std::vector<double> &hours = placed.hours;
    const size_t hourCount = hours.size();
    while (hours.back() <= to + lastHourSeconds && hours.size() < maximumMovedHourBoundaries)
        hours.push_back(std::max(hourStart(hours.back() + 3600.0), hours.back() + 1.0));
    if (hours.back() <= to + lastHourSeconds)
        return false;
    if (hours.size() != hourCount) {
        placed.global.takeLaterHours(hours);
        for (TokenReportAccumulator &project : placed.projects)
            project.takeLaterHours(hours);
    }

    // Only what was placed moves; the events added since are placed at `now` afterwards.
    const size_t placedCount = m_recent.size() - m_unplaced;
    const auto visit = [&](double begin, double end, const auto &eachEvent) {
        m_recentByHour.forEachInHoursOf(begin, end, [&](std::uint32_t position) {
            if (position < placedCount)
                eachEvent(m_recent[position]);
        });
    };
    const auto reportOf = [&](const CompactEvent &event) -> TokenReportAccumulator & {
        return placed.projects[size_t(placed.reportOf[size_t(event.project)])];
    };

    const double lastHourFrom = from - lastHourSeconds;
    const double lastHourTo = to - lastHourSeconds;
    visit(lastHourFrom, lastHourTo, [&](const CompactEvent &event) {
        if (event.date >= lastHourFrom && event.date < lastHourTo) {
            placed.global.countInLastHour(event.total, -1);
            reportOf(event).countInLastHour(event.total, -1);
        }
    });

    // The weekly window was [placed.weeklyStart, from] and is [weeklyStart, to]: the events
    // between the two starts and between the two ends are the only ones that may differ.
    const double startLow = std::min(placed.weeklyStart, weeklyStart);
    const double startHigh = std::max(placed.weeklyStart, weeklyStart);
    const auto inWindow = [](double date, double start, double end) {
        return date >= start && date <= end;
    };
    const auto moveWeekly = [&](const CompactEvent &event) {
        const int change = int(inWindow(event.date, weeklyStart, to))
            - int(inWindow(event.date, placed.weeklyStart, from));
        if (change != 0) {
            placed.global.countInWeeklyWindow(event.total, change);
            reportOf(event).countInWeeklyWindow(event.total, change);
        }
    };
    const auto betweenStarts = [&](double date) { return date >= startLow && date < startHigh; };
    visit(startLow, startHigh, [&](const CompactEvent &event) {
        if (betweenStarts(event.date))
            moveWeekly(event);
    });
    visit(from, std::nextafter(to, std::numeric_limits<double>::infinity()),
          [&](const CompactEvent &event) {
              if (event.date > from && event.date <= to && !betweenStarts(event.date))
                  moveWeekly(event);
          });

    // Events that leave the hourly series leave their hour, which is summed again (costs are
    // sums of doubles: taking one out would not give what adding the others gives).
    const double seriesFrom = from - hourlySeriesSeconds;
    const double seriesTo = to - hourlySeriesSeconds;
    std::map<size_t, std::vector<int>> leftHours; // hour -> the reports that had events there
    visit(seriesFrom, seriesTo, [&](const CompactEvent &event) {
        if (event.date >= seriesFrom && event.date < seriesTo) {
            const int hour = tokenBucketIndex(hours, event.date);
            if (hour >= 0)
                leftHours[size_t(hour)].push_back(placed.reportOf[size_t(event.project)]);
        }
    });
    placed.at = to;
    placed.weeklyStart = weeklyStart;
    placeFrom(placedCount, now);
    for (auto &[hour, reports] : leftHours)
        sumHourAgain(hour, reports, now);
    return true;
}

// Sums the hour bucket `hour` of the hourly series of `now` again, in the global report and
// in `reports` and every report with events left there, from the events it holds in the order
// they were added, as placing them all would.
void TokenUsageAggregator::sumHourAgain(size_t hour, const std::vector<int> &reports,
                                        Timestamp now) const
{
    TokenPlacedReports &placed = *m_placed;
    const std::vector<double> &hours = placed.hours;
    const double seriesStart = now.seconds - hourlySeriesSeconds;
    const double begin = std::max(hours[hour], seriesStart);
    const double end = hours[hour + 1];
    std::vector<std::uint32_t> positions;
    m_recentByHour.forEachInHoursOf(begin, end, [&](std::uint32_t position) {
        const double date = m_recent[position].date;
        if (date >= seriesStart && tokenBucketIndex(hours, date) == int(hour))
            positions.push_back(position);
    });
    std::sort(positions.begin(), positions.end());
    placed.global.hour(hour, hours.size()) = {};
    for (const int report : reports)
        placed.projects[size_t(report)].hour(hour, hours.size()) = {};
    for (const std::uint32_t position : positions) {
        const CompactEvent &event = m_recent[position];
        placed.projects[size_t(placed.reportOf[size_t(event.project)])].hour(hour, hours.size())
            = {};
    }
    for (const std::uint32_t position : positions) {
        const CompactEvent &event = m_recent[position];
        const double cost = eventCost(event.model, event.input, event.cachedInput, event.output);
        placed.global.hour(hour, hours.size()).add(event.total, cost);
        placed.projects[size_t(placed.reportOf[size_t(event.project)])]
            .hour(hour, hours.size())
            .add(event.total, cost);
    }
}

} // namespace tolvaran::Internal
