#pragma once

#include "data/token_usage/TokenUsageReport.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace tolvaran::Internal {

// Where one usage event counts in the reports of one moment; worked out once per event and
// applied to the global report and to its project's.
struct TokenUsagePlacement
{
    bool lastHour = false;
    bool today = false;
    bool sevenDays = false;
    bool weeklyWindow = false;
    int hour = -1; // index into the hour boundaries; -1: not in the series, or past them
    int day = -1;
    std::optional<double> laterHour; // start of an hour past the boundaries
    std::optional<double> laterDay;
};

// The windows and series of one report (the global one or a project's) as the events placed
// in them make them, kept from one snapshot to the next: as the clock moves, events leave or
// enter a window one by one, and an hour of the series is summed again when events leave it.
class TokenReportAccumulator final
{
public:
    // Window totals are summed wide, so that taking an event out again is exact; a report
    // holds them at the 64-bit limits, as adding the events one by one with saturation would.
    __extension__ typedef __int128 WideCount;

    // The sums over all of a scope's events, kept apart from the windows and series: those
    // are placed event by event and kept between snapshots, the sums are added up for each.
    struct Sums
    {
        qint64 input = 0;
        qint64 cachedInput = 0;
        qint64 output = 0;
        qint64 total = 0;
        double cost = 0.0;
        bool hasEvents = false;

        void add(qint64 moreInput, qint64 moreCachedInput, qint64 moreOutput, qint64 moreTotal,
                 double moreCost);
        friend bool operator==(const Sums &, const Sums &) = default;
    };

    struct Bucket
    {
        qint64 tokens = 0;
        double cost = 0.0;
        bool used = false;

        void add(qint64 total, double eventCost);
    };

    void place(qint64 total, double cost, const TokenUsagePlacement &placement,
               size_t hourCount, size_t dayCount);
    // Moves one event into (+1) or out of (-1) the last hour or the weekly window.
    void countInLastHour(qint64 total, int sign);
    void countInWeeklyWindow(qint64 total, int sign);
    // The hour bucket `index`, to be summed again.
    Bucket &hour(size_t index, size_t hourCount);
    // Whether anything was placed, moved or summed again since the last call: a report made
    // before holds otherwise.
    bool takeChanged() { return std::exchange(m_changed, false); }
    // Hours placed past the boundaries that now lie before `boundaries.back()` move into
    // their buckets.
    void takeLaterHours(const std::vector<double> &boundaries);

    TokenUsageReport report(const Sums &sums, qint64 lifetimeTokens,
                            const std::vector<double> &hourStarts,
                            const std::vector<double> &dayStarts) const;

private:
    bool m_changed = true;
    WideCount m_lastHour = 0;
    WideCount m_today = 0;
    WideCount m_sevenDays = 0;
    WideCount m_weeklyWindow = 0;
    std::vector<Bucket> m_hours;
    std::vector<Bucket> m_days;
    std::map<double, Bucket> m_laterHours;
    std::map<double, Bucket> m_laterDays;
};

// The bucket of `value` among ascending `starts`: the last start not after it, when it lies
// before the last start; -1 otherwise.
int tokenBucketIndex(const std::vector<double> &starts, double value);

} // namespace tolvaran::Internal
