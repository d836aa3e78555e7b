#pragma once

#include <QString>

namespace tolvaran {

// One enabled team of the workspace as the browser names it: its id (what the team filter
// stores) and the name its presence service publishes.
struct TeamWorkspaceTeam
{
    QString id;
    QString name;

    friend bool operator==(const TeamWorkspaceTeam &, const TeamWorkspaceTeam &) = default;
};

} // namespace tolvaran
