#include "data/token_usage/TokenUsageReport.h"

namespace tolvaran {

const TokenUsageReport &TokenUsageReport::empty()
{
    static const TokenUsageReport report;
    return report;
}

size_t qHash(const TokenUsageReport &report, size_t seed) noexcept
{
    seed = qHashMulti(seed, report.lifetimeTokens, report.indexedTokens, report.lastHourTokens,
                      report.todayTokens, report.lastSevenDaysTokens, report.weeklyWindowTokens,
                      report.inputTokens, report.cachedInputTokens, report.outputTokens,
                      report.estimatedCost);
    seed = qHashRange(report.hourly.begin(), report.hourly.end(), seed);
    return qHashRange(report.daily.begin(), report.daily.end(), seed);
}

} // namespace tolvaran
