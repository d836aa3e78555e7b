#include "data/token_usage/TokenReportAccumulator.h"

#include "platform/SaturatingAdd.h"

#include <algorithm>
#include <limits>

namespace tolvaran::Internal {

namespace {

qint64 held(TokenReportAccumulator::WideCount count)
{
    return qint64(std::clamp<TokenReportAccumulator::WideCount>(
        count, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()));
}

// The used buckets in ascending order: those past the boundaries come after the others.
QList<TokenUsagePoint> series(const std::vector<TokenReportAccumulator::Bucket> &buckets,
                              const std::vector<double> &starts,
                              const std::map<double, TokenReportAccumulator::Bucket> &later)
{
    QList<TokenUsagePoint> points;
    points.reserve(qsizetype(buckets.size() + later.size()));
    for (size_t i = 0; i < buckets.size(); ++i) {
        if (buckets[i].used)
            points.append(
                {Timestamp::fromSeconds(starts[i]), buckets[i].tokens, buckets[i].cost});
    }
    for (const auto &[start, bucket] : later)
        points.append({Timestamp::fromSeconds(start), bucket.tokens, bucket.cost});
    return points;
}

} // namespace

int tokenBucketIndex(const std::vector<double> &starts, double value)
{
    if (starts.size() < 2 || value < starts.front() || value >= starts.back())
        return -1;
    const auto after = std::upper_bound(starts.begin(), starts.end(), value);
    return int(after - starts.begin()) - 1;
}

void TokenReportAccumulator::Sums::add(qint64 moreInput, qint64 moreCachedInput,
                                       qint64 moreOutput, qint64 moreTotal, double moreCost)
{
    hasEvents = true;
    input = saturatingAdd(input, moreInput);
    cachedInput = saturatingAdd(cachedInput, moreCachedInput);
    output = saturatingAdd(output, moreOutput);
    total = saturatingAdd(total, moreTotal);
    cost += moreCost;
}

void TokenReportAccumulator::Bucket::add(qint64 total, double eventCost)
{
    tokens = saturatingAdd(tokens, total);
    cost += eventCost;
    used = true;
}

void TokenReportAccumulator::countInLastHour(qint64 total, int sign)
{
    m_lastHour += WideCount(total) * sign;
    m_changed = true;
}

void TokenReportAccumulator::countInWeeklyWindow(qint64 total, int sign)
{
    m_weeklyWindow += WideCount(total) * sign;
    m_changed = true;
}

void TokenReportAccumulator::place(qint64 total, double cost,
                                   const TokenUsagePlacement &placement, size_t hourCount,
                                   size_t dayCount)
{
    m_changed = true;
    if (placement.lastHour)
        m_lastHour += total;
    if (placement.today)
        m_today += total;
    if (placement.sevenDays)
        m_sevenDays += total;
    if (placement.weeklyWindow)
        m_weeklyWindow += total;
    if (placement.hour >= 0)
        hour(size_t(placement.hour), hourCount).add(total, cost);
    else if (placement.laterHour)
        m_laterHours[*placement.laterHour].add(total, cost);
    if (placement.day >= 0) {
        m_days.resize(std::max(m_days.size(), dayCount));
        m_days[size_t(placement.day)].add(total, cost);
    } else if (placement.laterDay) {
        m_laterDays[*placement.laterDay].add(total, cost);
    }
}

TokenReportAccumulator::Bucket &TokenReportAccumulator::hour(size_t index, size_t hourCount)
{
    m_changed = true;
    m_hours.resize(std::max(m_hours.size(), hourCount));
    return m_hours[index];
}

void TokenReportAccumulator::takeLaterHours(const std::vector<double> &boundaries)
{
    while (!m_laterHours.empty() && m_laterHours.begin()->first < boundaries.back()) {
        const auto [start, bucket] = *m_laterHours.begin();
        m_laterHours.erase(m_laterHours.begin());
        m_changed = true;
        const int index = tokenBucketIndex(boundaries, start);
        if (index < 0)
            continue; // cannot be: the boundaries begin a day before any later hour
        Bucket &into = hour(size_t(index), boundaries.size());
        // The bucket held nothing: it lay past the boundaries until now.
        into.tokens = saturatingAdd(into.tokens, bucket.tokens);
        into.cost += bucket.cost;
        into.used = into.used || bucket.used;
    }
}

TokenUsageReport TokenReportAccumulator::report(const Sums &sums, qint64 lifetimeTokens,
                                                const std::vector<double> &hourStarts,
                                                const std::vector<double> &dayStarts) const
{
    TokenUsageReport report;
    report.lastHourTokens = held(m_lastHour);
    report.todayTokens = held(m_today);
    report.lastSevenDaysTokens = held(m_sevenDays);
    report.weeklyWindowTokens = held(m_weeklyWindow);
    report.inputTokens = sums.input;
    report.cachedInputTokens = sums.cachedInput;
    report.outputTokens = sums.output;
    report.indexedTokens = sums.total;
    report.estimatedCost = sums.cost;
    // Codex's per-thread counts lag its rollout files during a turn, and a caller may pass
    // fewer threads than the index holds (archived ones left out): the lifetime shown
    // beside the window totals is never below what the index itself counted.
    report.lifetimeTokens = std::max(lifetimeTokens, sums.total);
    report.hourly = series(m_hours, hourStarts, m_laterHours);
    report.daily = series(m_days, dayStarts, m_laterDays);
    return report;
}

} // namespace tolvaran::Internal
