#pragma once

#include "team_screens/TeamScreenWorkspace.h"

#include <QHash>

#include <memory>

namespace tolvaran {

class TeamWorkspace;
class TeamWorkspaceStore;

namespace Internal {
class WorkspaceScreenTeam;
}

// The team workspace as the team screens see it. Each team is answered by a small object that
// shares the team (so a screen still showing a team that was just removed keeps a working
// service); those of teams no longer listed or pending go a turn later.
class TeamWorkspaceScreens final : public TeamScreenWorkspace
{
    Q_OBJECT

public:
    // `store` must outlive this object.
    explicit TeamWorkspaceScreens(TeamWorkspaceStore &store, QObject *parent = nullptr);
    ~TeamWorkspaceScreens() override;

    QList<TeamScreenTeam *> teams() const override;
    QString selectedManagementTeamID() const override;
    TeamScreenTeam *selectedManagementTeam() const override;
    void selectManagementTeam(const QString &teamID) override;
    TeamScreenTeam *beginAddingTeam() override;
    void commitAddedTeam(TeamScreenTeam *team) override;
    void discardAddedTeam(TeamScreenTeam *team) override;
    void removeTeam(const QString &teamID) override;
    bool hasTeamMemberships() const override;

private:
    Internal::WorkspaceScreenTeam *screenTeam(const std::shared_ptr<TeamWorkspace> &team) const;
    Internal::WorkspaceScreenTeam *known(TeamScreenTeam *team) const;
    void dropUnusedTeams();

    TeamWorkspaceStore &m_store;
    // By the shared team; pending teams are kept here until they are committed or discarded.
    mutable QHash<const TeamWorkspace *, Internal::WorkspaceScreenTeam *> m_screenTeams;
    QList<std::shared_ptr<TeamWorkspace>> m_pending;
};

} // namespace tolvaran
