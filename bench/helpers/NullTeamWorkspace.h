#pragma once

#include "team_interface/TeamWorkspaceService.h"

namespace tolvaran {

// The team workspace of a program with no team: no project is shared, hand-overs are dropped,
// a rescan is finished at once, and there are no teams, memberships or commits to show.
class NullTeamWorkspace final : public TeamWorkspaceService
{
    Q_OBJECT

public:
    using TeamWorkspaceService::TeamWorkspaceService;

    QSet<QString> teamIDs(const QString &path) const override;
    void updateProjects(const QList<LocalTeamProjectSource> &sources) override;
    void updateTokenUsage(const TokenUsageSnapshot &snapshot) override;
    void refreshProjects(const QSet<QString> &paths, std::function<void()> done) override;
    QList<TeamWorkspaceTeam> enabledTeams() const override;
    QString teamName() const override;
    TeamConnectionState connectionState() const override;
    bool hasTeamMemberships() const override;
    QList<TeamCommitEvent> commitNotifications() const override;
    void dismissCommitNotification(const TeamCommitEvent &event) override;
};

} // namespace tolvaran
