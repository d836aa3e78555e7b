#pragma once

#include "data/token_usage/TokenUsageReport.h"
#include "data/token_usage/WeeklyAllowanceStatus.h"

#include <QHash>
#include <QString>

#include <optional>

namespace tolvaran {

// What one pass of the token-usage index yields: a global report, one report per project
// folder, and the weekly rate-limit window when known. Each pass builds a whole new snapshot.
struct TokenUsageSnapshot
{
    TokenUsageReport global;
    QHash<QString, TokenUsageReport> projects; // by project path
    Timestamp indexedAt = Timestamp::distantPast(); // distant past: never indexed
    qint64 pendingRolloutCount = 0;                 // rollouts not indexed yet
    std::optional<WeeklyAllowanceStatus> weeklyAllowance;
    // The first moment after `indexedAt` at which time passing alone changes a figure (an
    // hour, a day or a weekly window ends): the snapshot should be made again then. Absent
    // when no figure depends on the clock.
    std::optional<Timestamp> nextBoundaryAt;

    static const TokenUsageSnapshot &empty();

    // The project's share of the whole weekly allowance, 0 to 1: its part of the tokens of the
    // weekly window times the used part of the window.
    double weeklyAllowanceContribution(const QString &projectPath) const;
    // What the project's lifetime usage is worth in US dollars under the user's plan, judged by
    // how many tokens the plan's weekly window holds; absent when the plan or window is unknown.
    std::optional<double> lifetimePlanValue(const QString &projectPath) const;

    friend bool operator==(const TokenUsageSnapshot &, const TokenUsageSnapshot &) = default;
};

size_t qHash(const TokenUsageSnapshot &snapshot, size_t seed = 0) noexcept;

} // namespace tolvaran
