#include "detail/sections/TokenUsagePeriod.h"

namespace tolvaran {

namespace {
constexpr int hourlyAxisLabelCount = 6;
constexpr int dailyAxisLabelCount = 7;
} // namespace

const QList<TokenUsagePeriod> &tokenUsagePeriods()
{
    static const QList<TokenUsagePeriod> periods{TokenUsagePeriod::hourly,
                                                 TokenUsagePeriod::daily};
    return periods;
}

QString tokenUsagePeriodLabel(TokenUsagePeriod period)
{
    switch (period) {
    case TokenUsagePeriod::hourly:
        return QStringLiteral("24 Hours");
    case TokenUsagePeriod::daily:
        return QStringLiteral("30 Days");
    }
    return {};
}

std::optional<TokenUsagePeriod> tokenUsagePeriodFromLabel(const QString &label)
{
    for (TokenUsagePeriod period : tokenUsagePeriods()) {
        if (tokenUsagePeriodLabel(period) == label)
            return period;
    }
    return std::nullopt;
}

int tokenUsagePeriodAxisLabelCount(TokenUsagePeriod period)
{
    return period == TokenUsagePeriod::hourly ? hourlyAxisLabelCount : dailyAxisLabelCount;
}

} // namespace tolvaran
