#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvaran {

// Token usage of one project on one device, as attached to its published state.
struct TeamProjectUsagePayload
{
    qint64 lifetimeTokens = 0;
    qint64 weeklyTokens = 0;
    double weeklyAllowancePercent = 0.0; // 0 to 100
    std::optional<double> lifetimePlanCost;

    // Doubles compare as numbers: 0.0 equals -0.0, a NaN equals nothing.
    friend bool operator==(const TeamProjectUsagePayload &, const TeamProjectUsagePayload &) =
        default;

    QJsonObject toJson() const;
    // Throws JsonDecodingError when a required key is missing, null or mistyped.
    static TeamProjectUsagePayload fromJson(const QJsonObject &object);
};

// What a device publishes per repository on the team channel. Its JSON keys are the field
// names; absent optionals write no key.
struct SharedProjectState
{
    QString repositoryId;
    QString repositoryName;
    std::optional<QString> branch;
    std::optional<QString> headSha;
    bool isDirty = false;
    qint64 stagedCount = 0;
    qint64 modifiedCount = 0;
    qint64 untrackedCount = 0;
    qint64 additions = 0;
    qint64 deletions = 0;
    QStringList changedFiles; // relative to the repository, order significant
    std::optional<qint64> lastActivityAt; // milliseconds since 1970
    bool isCodexProcessing = false;
    std::optional<QString> workSummary;
    std::optional<TeamProjectUsagePayload> usage;

    friend bool operator==(const SharedProjectState &, const SharedProjectState &) = default;

    QJsonObject toJson() const;
    // Throws JsonDecodingError when a required key is missing, null or mistyped.
    static SharedProjectState fromJson(const QJsonObject &object);
};

size_t qHash(const TeamProjectUsagePayload &usage, size_t seed = 0) noexcept;
size_t qHash(const SharedProjectState &state, size_t seed = 0) noexcept;

} // namespace tolvaran
