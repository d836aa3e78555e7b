#pragma once

#include "data/token_usage/TokenUsagePoint.h"

#include <QList>

namespace tolvaran {

// Token usage of one scope (one project folder, or everything) at one point in time.
// `lifetimeTokens` comes from Codex's own per-thread counts; every other figure is summed from
// the usage events of the token-usage index.
struct TokenUsageReport
{
    qint64 lifetimeTokens = 0;
    qint64 indexedTokens = 0;
    qint64 lastHourTokens = 0;      // events at or after now - 1 hour
    qint64 todayTokens = 0;         // events at or after the start of today
    qint64 lastSevenDaysTokens = 0; // events at or after the start of the day six days ago
    qint64 weeklyWindowTokens = 0;  // events within the weekly window and not after now
    qint64 inputTokens = 0;         // cached input included
    qint64 cachedInputTokens = 0;
    qint64 outputTokens = 0;
    double estimatedCost = 0.0; // US dollars
    QList<TokenUsagePoint> hourly; // clock hours with events in the last 24 hours, oldest first
    QList<TokenUsagePoint> daily;  // days with events since the day 29 days ago, oldest first

    static const TokenUsageReport &empty();

    friend bool operator==(const TokenUsageReport &, const TokenUsageReport &) = default;
};

size_t qHash(const TokenUsageReport &report, size_t seed = 0) noexcept;

} // namespace tolvaran
