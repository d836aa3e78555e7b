#include "support/team/FixedTeamViewSource.h"

namespace tolvaran::fixtures {

namespace {

template <typename Value>
std::optional<Value> lookUp(const QHash<QString, Value> &values, const QString &path)
{
    const auto found = values.constFind(path);
    return found == values.cend() ? std::nullopt : std::optional<Value>(*found);
}

} // namespace

std::optional<TeamProjectSummary> FixedTeamViewSource::summary(const QString &path) const
{
    return lookUp(summaries, path);
}

std::optional<TeamProjectUsageSummary>
FixedTeamViewSource::usageSummary(const QString &path) const
{
    return lookUp(usageSummaries, path);
}

QStringList FixedTeamViewSource::teamNames(const QString &path) const
{
    return teamNamesByPath.value(path);
}

std::optional<SharedProjectState> FixedTeamViewSource::localActivity(const QString &path) const
{
    return lookUp(localActivities, path);
}

} // namespace tolvaran::fixtures
