#include "data/git/SharedProjectState.h"

#include "platform/JsonCoding.h"

#include <QHashFunctions>

namespace tolvaran {

namespace {

// 0.0 and -0.0 compare equal, so they must hash alike.
size_t hashDouble(double value, size_t seed)
{
    return ::qHash(value == 0.0 ? 0.0 : value, seed);
}

} // namespace

QJsonObject TeamProjectUsagePayload::toJson() const
{
    QJsonObject object{
        {QStringLiteral("lifetimeTokens"), lifetimeTokens},
        {QStringLiteral("weeklyTokens"), weeklyTokens},
        {QStringLiteral("weeklyAllowancePercent"), weeklyAllowancePercent},
    };
    json::insertOptional(object, QStringLiteral("lifetimePlanCost"), lifetimePlanCost);
    return object;
}

TeamProjectUsagePayload TeamProjectUsagePayload::fromJson(const QJsonObject &object)
{
    TeamProjectUsagePayload usage;
    usage.lifetimeTokens = json::requiredInt64(object, QStringLiteral("lifetimeTokens"));
    usage.weeklyTokens = json::requiredInt64(object, QStringLiteral("weeklyTokens"));
    usage.weeklyAllowancePercent =
        json::requiredDouble(object, QStringLiteral("weeklyAllowancePercent"));
    usage.lifetimePlanCost = json::optionalDouble(object, QStringLiteral("lifetimePlanCost"));
    return usage;
}

QJsonObject SharedProjectState::toJson() const
{
    QJsonObject object{
        {QStringLiteral("repositoryId"), repositoryId},
        {QStringLiteral("repositoryName"), repositoryName},
        {QStringLiteral("isDirty"), isDirty},
        {QStringLiteral("stagedCount"), stagedCount},
        {QStringLiteral("modifiedCount"), modifiedCount},
        {QStringLiteral("untrackedCount"), untrackedCount},
        {QStringLiteral("additions"), additions},
        {QStringLiteral("deletions"), deletions},
        {QStringLiteral("changedFiles"), json::toArray(changedFiles)},
        {QStringLiteral("isCodexProcessing"), isCodexProcessing},
    };
    json::insertOptional(object, QStringLiteral("branch"), branch);
    json::insertOptional(object, QStringLiteral("headSha"), headSha);
    json::insertOptional(object, QStringLiteral("lastActivityAt"), lastActivityAt);
    json::insertOptional(object, QStringLiteral("workSummary"), workSummary);
    if (usage)
        object.insert(QStringLiteral("usage"), usage->toJson());
    return object;
}

SharedProjectState SharedProjectState::fromJson(const QJsonObject &object)
{
    SharedProjectState state;
    state.repositoryId = json::requiredString(object, QStringLiteral("repositoryId"));
    state.repositoryName = json::requiredString(object, QStringLiteral("repositoryName"));
    state.branch = json::optionalString(object, QStringLiteral("branch"));
    state.headSha = json::optionalString(object, QStringLiteral("headSha"));
    state.isDirty = json::requiredBool(object, QStringLiteral("isDirty"));
    state.stagedCount = json::requiredInt64(object, QStringLiteral("stagedCount"));
    state.modifiedCount = json::requiredInt64(object, QStringLiteral("modifiedCount"));
    state.untrackedCount = json::requiredInt64(object, QStringLiteral("untrackedCount"));
    state.additions = json::requiredInt64(object, QStringLiteral("additions"));
    state.deletions = json::requiredInt64(object, QStringLiteral("deletions"));
    state.changedFiles = json::requiredStringArray(object, QStringLiteral("changedFiles"));
    state.lastActivityAt = json::optionalInt64(object, QStringLiteral("lastActivityAt"));
    state.isCodexProcessing = json::requiredBool(object, QStringLiteral("isCodexProcessing"));
    state.workSummary = json::optionalString(object, QStringLiteral("workSummary"));
    if (const auto usage = json::optionalObject(object, QStringLiteral("usage")))
        state.usage = TeamProjectUsagePayload::fromJson(*usage);
    return state;
}

size_t qHash(const TeamProjectUsagePayload &usage, size_t seed) noexcept
{
    seed = qHashMulti(seed, usage.lifetimeTokens, usage.weeklyTokens);
    seed = hashDouble(usage.weeklyAllowancePercent, seed);
    seed = ::qHash(usage.lifetimePlanCost.has_value(), seed);
    return usage.lifetimePlanCost ? hashDouble(*usage.lifetimePlanCost, seed) : seed;
}

size_t qHash(const SharedProjectState &state, size_t seed) noexcept
{
    seed = qHashMulti(seed, state.repositoryId, state.repositoryName,
                      state.branch.value_or(QString()), state.headSha.value_or(QString()),
                      state.isDirty, state.stagedCount, state.modifiedCount,
                      state.untrackedCount, state.additions, state.deletions);
    seed = qHashRange(state.changedFiles.cbegin(), state.changedFiles.cend(), seed);
    seed = qHashMulti(seed, state.lastActivityAt.value_or(0), state.isCodexProcessing,
                      state.workSummary.value_or(QString()));
    return state.usage ? qHash(*state.usage, seed) : seed;
}

} // namespace tolvaran
