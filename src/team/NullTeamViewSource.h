#pragma once

#include "team/TeamProjectViewSource.h"

namespace tolvaran {

// The team values of a program with no team service: no teammates, teams or shared state for
// any project. The browser's source until the team workspace provides its own.
class NullTeamViewSource final : public TeamProjectViewSource
{
public:
    std::optional<TeamProjectSummary> summary(const QString &path) const override;
    std::optional<TeamProjectUsageSummary> usageSummary(const QString &path) const override;
    QStringList teamNames(const QString &path) const override;
    std::optional<SharedProjectState> localActivity(const QString &path) const override;
};

} // namespace tolvaran
