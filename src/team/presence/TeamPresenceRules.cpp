#include "team/presence/TeamPresenceRules.h"

#include "data/git/LocalTeamProjectState.h"
#include "data/token_usage/TokenUsageSnapshot.h"

#include <QMessageAuthenticationCode>

#include <algorithm>
#include <cmath>

namespace tolvaran::TeamPresenceRules {

QString hexadecimal(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex());
}

QString wireRepositoryID(const std::optional<QString> &teamID, const QString &repositoryId)
{
    if (!teamID)
        return repositoryId;
    return hexadecimal(QMessageAuthenticationCode::hash(
        repositoryId.toUtf8(), teamID->toUtf8(), QCryptographicHash::Sha256));
}

QStringList wireRepositoryIDs(const std::optional<QString> &teamID,
                              const QHash<QString, SharedProjectState> &statesByPath)
{
    QStringList ids;
    ids.reserve(statesByPath.size());
    for (const SharedProjectState &state : statesByPath)
        ids.append(wireRepositoryID(teamID, state.repositoryId));
    return ids;
}

std::optional<TeamProjectUsagePayload> teamUsage(const TokenUsageSnapshot &snapshot,
                                                 const QString &path)
{
    const auto report = snapshot.projects.constFind(path);
    if (report == snapshot.projects.cend())
        return std::nullopt;
    if (report->lifetimeTokens < 1 && report->weeklyWindowTokens <= 0)
        return std::nullopt;
    TeamProjectUsagePayload usage;
    usage.lifetimeTokens = report->lifetimeTokens;
    usage.weeklyTokens = report->weeklyWindowTokens;
    const double percent = snapshot.weeklyAllowanceContribution(path) * 100.0;
    usage.weeklyAllowancePercent = std::isfinite(percent) ? percent : 0.0;
    const std::optional<double> planValue = snapshot.lifetimePlanValue(path);
    if (planValue && std::isfinite(*planValue))
        usage.lifetimePlanCost = planValue;
    return usage;
}

SharedProjectState withUsage(SharedProjectState state, const TokenUsageSnapshot &snapshot,
                             const QString &path)
{
    state.usage = teamUsage(snapshot, path);
    return state;
}

QHash<QString, SharedProjectState>
repositoryInventory(const QHash<QString, SharedProjectState> &placeholders,
                    const QHash<QString, LocalTeamProjectState> &scannedStates)
{
    QHash<QString, SharedProjectState> inventory = placeholders;
    for (auto it = scannedStates.cbegin(); it != scannedStates.cend(); ++it)
        inventory.insert(it.key(), it->shared);
    return inventory;
}

int comparePlainText(const QString &a, const QString &b)
{
    // QString compares UTF-16 units, which puts characters beyond the first plane before
    // U+E000..U+FFFF; comparing code points keeps the order the other devices use.
    const QList<uint> left = a.normalized(QString::NormalizationForm_C).toUcs4();
    const QList<uint> right = b.normalized(QString::NormalizationForm_C).toUcs4();
    const auto [l, r] = std::mismatch(left.cbegin(), left.cend(), right.cbegin(), right.cend());
    if (l == left.cend())
        return r == right.cend() ? 0 : -1;
    if (r == right.cend())
        return 1;
    return *l < *r ? -1 : 1;
}

bool isActive(const SharedProjectState &state)
{
    return state.isDirty || state.isCodexProcessing;
}

void sortForPresence(QList<SharedProjectState> &projects)
{
    std::stable_sort(projects.begin(), projects.end(),
                     [](const SharedProjectState &a, const SharedProjectState &b) {
                         return comparePlainText(a.repositoryName, b.repositoryName) < 0;
                     });
}

} // namespace tolvaran::TeamPresenceRules
