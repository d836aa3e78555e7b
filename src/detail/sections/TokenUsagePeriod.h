#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tolvaran {

// The span the token-usage chart shows. Its label is also its identity.
enum class TokenUsagePeriod {
    hourly, // the last 24 hours, one bar per clock hour
    daily,  // the last 30 days, one bar per calendar day
};

// In the order the period picker lists them.
const QList<TokenUsagePeriod> &tokenUsagePeriods();
// "24 Hours" or "30 Days".
QString tokenUsagePeriodLabel(TokenUsagePeriod period);
// The period labelled `label`; none for any other text.
std::optional<TokenUsagePeriod> tokenUsagePeriodFromLabel(const QString &label);
// About how many dates the chart's time axis names.
int tokenUsagePeriodAxisLabelCount(TokenUsagePeriod period);

} // namespace tolvaran
