#pragma once

#include "platform/Timestamp.h"

#include <QHashFunctions>

namespace tolvaran {

// One bucket of an hourly or daily usage series: the tokens and estimated cost of the events
// in the clock hour or calendar day that starts at `date`. A series holds only buckets with
// events; its points are identified by their dates.
struct TokenUsagePoint
{
    Timestamp date;
    qint64 tokens = 0;
    double estimatedCost = 0.0; // US dollars

    friend bool operator==(const TokenUsagePoint &, const TokenUsagePoint &) = default;
};

inline size_t qHash(const TokenUsagePoint &point, size_t seed = 0) noexcept
{
    return qHashMulti(seed, point.date, point.tokens, point.estimatedCost);
}

} // namespace tolvaran
