#pragma once

#include "data/git/SharedProjectState.h"
#include "team/view/TeamProjectSummary.h"
#include "team/view/TeamProjectUsageSummary.h"
#include "team_interface/TeamCommitEvent.h"
#include "team_interface/TeamConnectionState.h"
#include "team_interface/TeamWorkspaceTeam.h"

#include <QHash>
#include <QList>
#include <QString>

namespace tolvaran {

// Everything the team workspace answers, at one moment. The workspace keeps the answers it
// last announced and compares fresh ones with them, so that each of its change signals fires
// only when its own answer differs: a team's service reports its changes in general, and most
// of them (a heartbeat, an inactive project's branch) alter nothing the workspace answers.
// The per-project maps hold only paths with an answer, joined over the enabled teams as the
// workspace's per-path readers join them.
struct TeamWorkspaceAnswers
{
    QList<TeamWorkspaceTeam> enabledTeams;
    QString teamName;
    TeamConnectionState connectionState;
    bool hasTeamMemberships = false;
    QList<TeamCommitEvent> commitNotifications;
    // The enabled teams that share each project, in team order.
    QHash<QString, QList<TeamWorkspaceTeam>> sharingTeams;
    QHash<QString, TeamProjectSummary> summaries;
    QHash<QString, TeamProjectUsageSummary> usageSummaries;
    QHash<QString, SharedProjectState> localActivities;
};

} // namespace tolvaran
