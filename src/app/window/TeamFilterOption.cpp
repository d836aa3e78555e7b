#include "app/window/TeamFilterOption.h"

#include "coordinator/ProjectListing.h"

namespace tolvaran {

QList<TeamFilterOption> TeamFilterOption::options(const QList<TeamWorkspaceTeam> &enabledTeams)
{
    QList<TeamFilterOption> options{
        {ProjectListCriteria::allTeams, QStringLiteral("All Projects")},
        {ProjectListCriteria::localOnly, QStringLiteral("Local Only")},
    };
    for (const TeamWorkspaceTeam &team : enabledTeams)
        options.append({team.id, team.name});
    return options;
}

} // namespace tolvaran
