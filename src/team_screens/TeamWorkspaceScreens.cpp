#include "team_screens/TeamWorkspaceScreens.h"

#include "team/TeamWorkspace.h"
#include "team/TeamWorkspaceStore.h"
#include "team_screens/TeamScreenTeam.h"

namespace tolvaran {

namespace Internal {

// One team of the workspace, shared for as long as a screen may show it.
class WorkspaceScreenTeam final : public TeamScreenTeam
{
public:
    WorkspaceScreenTeam(std::shared_ptr<TeamWorkspace> team, QObject *parent)
        : TeamScreenTeam(parent)
        , m_team(std::move(team))
    {
    }

    QString id() const override { return m_team->id(); }
    TeamSettingsStore &settings() const override { return m_team->settings(); }
    TeamPresenceService &service() const override { return m_team->service(); }
    const std::shared_ptr<TeamWorkspace> &team() const { return m_team; }

private:
    std::shared_ptr<TeamWorkspace> m_team;
};

} // namespace Internal

using Internal::WorkspaceScreenTeam;

TeamWorkspaceScreens::TeamWorkspaceScreens(TeamWorkspaceStore &store, QObject *parent)
    : TeamScreenWorkspace(parent)
    , m_store(store)
{
    // The list, the selection, and every listed team's settings and published values (of
    // which the memberships are part).
    const auto workspaceChanged = [this] {
        dropUnusedTeams();
        Q_EMIT changed();
    };
    connect(&m_store, &TeamWorkspaceStore::teamsChanged, this, workspaceChanged);
    connect(&m_store, &TeamWorkspaceStore::selectedManagementTeamIDChanged, this,
            workspaceChanged);
    connect(&m_store, &TeamWorkspaceStore::teamChanged, this, workspaceChanged);
}

TeamWorkspaceScreens::~TeamWorkspaceScreens() = default;

WorkspaceScreenTeam *TeamWorkspaceScreens::screenTeam(
    const std::shared_ptr<TeamWorkspace> &team) const
{
    if (!team)
        return nullptr;
    WorkspaceScreenTeam *&screen = m_screenTeams[team.get()];
    if (!screen)
        screen = new WorkspaceScreenTeam(team, const_cast<TeamWorkspaceScreens *>(this));
    return screen;
}

void TeamWorkspaceScreens::dropUnusedTeams()
{
    for (auto it = m_screenTeams.begin(); it != m_screenTeams.end();) {
        const bool listed = std::any_of(m_store.teams().cbegin(), m_store.teams().cend(),
                                        [&](const auto &team) { return team.get() == it.key(); });
        const bool pending = std::any_of(m_pending.cbegin(), m_pending.cend(),
                                         [&](const auto &team) { return team.get() == it.key(); });
        if (listed || pending) {
            ++it;
            continue;
        }
        // A screen may still be running the handler that removed the team.
        it.value()->deleteLater();
        it = m_screenTeams.erase(it);
    }
}

QList<TeamScreenTeam *> TeamWorkspaceScreens::teams() const
{
    QList<TeamScreenTeam *> teams;
    for (const std::shared_ptr<TeamWorkspace> &team : m_store.teams())
        teams.append(screenTeam(team));
    return teams;
}

QString TeamWorkspaceScreens::selectedManagementTeamID() const
{
    return m_store.selectedManagementTeamID();
}

TeamScreenTeam *TeamWorkspaceScreens::selectedManagementTeam() const
{
    return screenTeam(m_store.selectedManagementTeam());
}

void TeamWorkspaceScreens::selectManagementTeam(const QString &teamID)
{
    m_store.selectManagementTeam(teamID);
}

TeamScreenTeam *TeamWorkspaceScreens::beginAddingTeam()
{
    std::shared_ptr<TeamWorkspace> team = m_store.beginAddingTeam();
    m_pending.append(team);
    return screenTeam(team);
}

WorkspaceScreenTeam *TeamWorkspaceScreens::known(TeamScreenTeam *team) const
{
    for (WorkspaceScreenTeam *screen : std::as_const(m_screenTeams)) {
        if (screen == team)
            return screen;
    }
    return nullptr;
}

void TeamWorkspaceScreens::commitAddedTeam(TeamScreenTeam *team)
{
    if (WorkspaceScreenTeam *screen = known(team))
        m_store.commitAddedTeam(screen->team());
}

void TeamWorkspaceScreens::discardAddedTeam(TeamScreenTeam *team)
{
    WorkspaceScreenTeam *screen = known(team);
    if (!screen)
        return;
    const std::shared_ptr<TeamWorkspace> shared = screen->team();
    m_store.discardAddedTeam(*shared);
    m_pending.removeIf([&](const auto &pending) { return pending == shared; });
    dropUnusedTeams();
}

void TeamWorkspaceScreens::removeTeam(const QString &teamID)
{
    m_store.removeTeam(teamID);
}

bool TeamWorkspaceScreens::hasTeamMemberships() const
{
    return m_store.hasTeamMemberships();
}

} // namespace tolvaran
