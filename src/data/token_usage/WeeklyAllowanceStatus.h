#pragma once

#include "platform/Timestamp.h"

#include <QHashFunctions>
#include <QString>

#include <optional>

namespace tolvaran {

// The user's current weekly rate-limit window, as Codex last reported it in a rollout file.
struct WeeklyAllowanceStatus
{
    double usedPercent = 0.0; // as Codex reports it, not clamped
    Timestamp resetsAt;
    Timestamp windowStart; // resetsAt minus the window's length
    std::optional<QString> planType;

    friend bool operator==(const WeeklyAllowanceStatus &, const WeeklyAllowanceStatus &) =
        default;
};

inline size_t qHash(const WeeklyAllowanceStatus &status, size_t seed = 0) noexcept
{
    return qHashMulti(seed, status.usedPercent, status.resetsAt, status.windowStart,
                      status.planType.has_value(), status.planType.value_or(QString()));
}

} // namespace tolvaran
