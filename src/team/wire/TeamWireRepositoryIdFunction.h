#pragma once

#include "team/presence/TeamPresenceRules.h"

#include <QString>

#include <functional>
#include <optional>

namespace tolvaran {

// How this team names a repository on the wire: given a plain repository id, its wire id (the
// keyed hash of the team's identifier, or the plain id while no team identifier is stored).
// The presence service hands its own function to the snapshot code, which calls it only when
// the protocol in force is 2; an empty function stands for plain ids throughout.
using TeamWireRepositoryIdFunction = std::function<QString(const QString &repositoryId)>;

// The id under which a repository of this device is matched against what the server lists:
// the wire id under protocol 2, the plain id otherwise.
inline QString teamComparisonRepositoryId(const QString &repositoryId, qint64 protocolVersion,
                                          const TeamWireRepositoryIdFunction &wireRepositoryId)
{
    if (protocolVersion == 2 && wireRepositoryId)
        return wireRepositoryId(repositoryId);
    return repositoryId;
}

// The team's own function: the keyed hash under `teamID`, the plain id while there is none.
inline TeamWireRepositoryIdFunction teamWireRepositoryIdFunction(std::optional<QString> teamID)
{
    return [teamID = std::move(teamID)](const QString &repositoryId) {
        return TeamPresenceRules::wireRepositoryID(teamID, repositoryId);
    };
}

} // namespace tolvaran
