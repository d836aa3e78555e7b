#pragma once

#include "team_interface/TeamWorkspaceTeam.h"

#include <QList>
#include <QString>

namespace tolvaran {

// One choice of the team filter: the id the coordinator's team filter stores, and its title.
struct TeamFilterOption
{
    QString id;
    QString title;

    friend bool operator==(const TeamFilterOption &, const TeamFilterOption &) = default;

    // "All Projects" ("all"), "Local Only" ("local-only"), then one choice per enabled team in
    // workspace order, titled with the team's name.
    static QList<TeamFilterOption> options(const QList<TeamWorkspaceTeam> &enabledTeams);
};

} // namespace tolvaran
