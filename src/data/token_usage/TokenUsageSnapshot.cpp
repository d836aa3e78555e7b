#include "data/token_usage/TokenUsageSnapshot.h"

#include <algorithm>
#include <cmath>

namespace tolvaran {

namespace {

// Yearly prices of the plans whose weekly window gives a lifetime usage a dollar value.
constexpr double proPlanYearlyAmount = 2400.0;
constexpr double proLitePlanYearlyAmount = 1200.0;
constexpr double weeksPerYear = 52.0;

std::optional<double> yearlyPlanAmount(const QString &planType)
{
    const QString plan = planType.toLower();
    if (plan == QLatin1String("prolite"))
        return proLitePlanYearlyAmount;
    if (plan == QLatin1String("pro"))
        return proPlanYearlyAmount;
    return std::nullopt;
}

} // namespace

const TokenUsageSnapshot &TokenUsageSnapshot::empty()
{
    static const TokenUsageSnapshot snapshot;
    return snapshot;
}

double TokenUsageSnapshot::weeklyAllowanceContribution(const QString &projectPath) const
{
    if (!weeklyAllowance || global.weeklyWindowTokens < 1)
        return 0.0;
    const auto project = projects.constFind(projectPath);
    const qint64 projectTokens = project == projects.cend() ? 0 : project->weeklyWindowTokens;
    const double usedFraction = std::clamp(weeklyAllowance->usedPercent / 100.0, 0.0, 1.0);
    return double(projectTokens) / double(global.weeklyWindowTokens) * usedFraction;
}

std::optional<double> TokenUsageSnapshot::lifetimePlanValue(const QString &projectPath) const
{
    if (!weeklyAllowance || !weeklyAllowance->planType)
        return std::nullopt;
    const std::optional<double> yearly = yearlyPlanAmount(*weeklyAllowance->planType);
    if (!yearly)
        return std::nullopt;
    const double usedFraction = weeklyAllowance->usedPercent / 100.0;
    // `!(x > 0)` also turns away a NaN.
    if (!(usedFraction > 0.0) || global.weeklyWindowTokens < 1)
        return std::nullopt;
    const double weeklyCapacity =
        double(global.weeklyWindowTokens) / std::min(usedFraction, 1.0);
    const auto project = projects.constFind(projectPath);
    const qint64 lifetime = project == projects.cend() ? 0 : project->lifetimeTokens;
    return *yearly / weeksPerYear * (double(lifetime) / weeklyCapacity);
}

size_t qHash(const TokenUsageSnapshot &snapshot, size_t seed) noexcept
{
    // Order-independent over the projects, as equality is.
    size_t projects = 0;
    for (auto it = snapshot.projects.cbegin(); it != snapshot.projects.cend(); ++it)
        projects += qHashMulti(0, it.key(), it.value());
    seed = qHashMulti(seed, snapshot.global, projects, snapshot.indexedAt,
                      snapshot.pendingRolloutCount, snapshot.weeklyAllowance.has_value());
    if (snapshot.weeklyAllowance)
        seed = qHash(*snapshot.weeklyAllowance, seed);
    return seed;
}

} // namespace tolvaran
