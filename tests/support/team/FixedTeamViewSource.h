#pragma once

#include "team/view/TeamProjectViewSource.h"

#include <QHash>

namespace tolvaran::fixtures {

// Team values that a test sets per project path; paths it did not set have none.
class FixedTeamViewSource final : public TeamProjectViewSource
{
public:
    QHash<QString, TeamProjectSummary> summaries;
    QHash<QString, TeamProjectUsageSummary> usageSummaries;
    QHash<QString, QStringList> teamNamesByPath;
    QHash<QString, SharedProjectState> localActivities;

    std::optional<TeamProjectSummary> summary(const QString &path) const override;
    std::optional<TeamProjectUsageSummary> usageSummary(const QString &path) const override;
    QStringList teamNames(const QString &path) const override;
    std::optional<SharedProjectState> localActivity(const QString &path) const override;
};

} // namespace tolvaran::fixtures
