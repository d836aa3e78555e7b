#pragma once

#include "data/TeamWorkspaceService.h"

namespace tolvaran {

// The team workspace of a program with no team: no project is shared, hand-overs are dropped
// and a rescan is finished at once.
class NullTeamWorkspace final : public TeamWorkspaceService
{
    Q_OBJECT

public:
    using TeamWorkspaceService::TeamWorkspaceService;

    QSet<QString> teamIDs(const QString &path) const override;
    void updateProjects(const QList<LocalTeamProjectSource> &sources) override;
    void updateTokenUsage(const TokenUsageSnapshot &snapshot) override;
    void refreshProjects(const QSet<QString> &paths, std::function<void()> done) override;
};

} // namespace tolvaran
