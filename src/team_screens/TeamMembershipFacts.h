#pragma once

#include "team/wire/TeamInstallationRole.h"
#include "team/wire/TeamSecurityStatus.h"

#include <optional>

namespace tolvaran {

class TeamSettingsStore;

// What the dashboard knows of this installation's membership of one team, and the rules that
// decide whether the membership can be given up here and whether that is a leave or a delete.
struct TeamMembershipFacts
{
    bool hasConfiguredMembership = false;
    bool hasStoredKey = false;
    // Both an installation credential and a team ID are stored.
    bool isRegistered = false;
    std::optional<TeamInstallationRole> storedRole;
    std::optional<TeamSecurityStatus> securityStatus;

    static TeamMembershipFacts of(const TeamSettingsStore &settings,
                                  const std::optional<TeamSecurityStatus> &securityStatus);

    // The role the server last reported, else the one stored with the profile.
    std::optional<TeamInstallationRole> effectiveRole() const;
    // The owner is the team's only installation (which needs the server's status).
    bool isSoleOwner() const;
    // A key is stored but the device never registered: nobody else can rely on the team.
    bool isPendingUnregisteredTeam() const;
    // An owner who shares the team with other installations must hand it over first.
    bool canRemoveCurrentMembership() const;
    // Giving up the membership deletes the team rather than leaving it.
    bool removalDeletesTeam() const;
};

} // namespace tolvaran
