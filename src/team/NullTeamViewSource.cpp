#include "team/NullTeamViewSource.h"

namespace tolvaran {

std::optional<TeamProjectSummary> NullTeamViewSource::summary(const QString &) const
{
    return std::nullopt;
}

std::optional<TeamProjectUsageSummary> NullTeamViewSource::usageSummary(const QString &) const
{
    return std::nullopt;
}

QStringList NullTeamViewSource::teamNames(const QString &) const
{
    return {};
}

std::optional<SharedProjectState> NullTeamViewSource::localActivity(const QString &) const
{
    return std::nullopt;
}

} // namespace tolvaran
