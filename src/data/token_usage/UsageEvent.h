#pragma once

#include "platform/Timestamp.h"

#include <QString>

#include <optional>

namespace tolvaran::Internal {

// One usage line of a rollout file, as the token-usage index parses it and reads it back.
struct UsageEvent
{
    QString projectPath; // the owning thread's working folder
    Timestamp date;
    qint64 input = 0; // cached input included
    qint64 cachedInput = 0;
    qint64 output = 0;
    qint64 total = 0; // greater than 0 for every stored event
    std::optional<QString> model; // the owning thread's model
    std::optional<double> weeklyUsedPercent;
    std::optional<qint64> weeklyWindowMinutes;
    std::optional<Timestamp> weeklyResetsAt;
    std::optional<QString> planType;

    friend bool operator==(const UsageEvent &, const UsageEvent &) = default;
};

} // namespace tolvaran::Internal
