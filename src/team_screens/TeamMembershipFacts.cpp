#include "team_screens/TeamMembershipFacts.h"

#include "team/server/TeamSettingsStore.h"

namespace tolvaran {

TeamMembershipFacts TeamMembershipFacts::of(const TeamSettingsStore &settings,
                                            const std::optional<TeamSecurityStatus> &status)
{
    TeamMembershipFacts facts;
    facts.hasConfiguredMembership = settings.hasConfiguredMembership();
    facts.hasStoredKey = settings.hasStoredKey();
    facts.isRegistered = settings.readCredential().has_value() && settings.teamID().has_value();
    facts.storedRole = settings.installationRole();
    facts.securityStatus = status;
    return facts;
}

std::optional<TeamInstallationRole> TeamMembershipFacts::effectiveRole() const
{
    if (securityStatus && securityStatus->currentDeviceRole)
        return securityStatus->currentDeviceRole;
    return storedRole;
}

bool TeamMembershipFacts::isSoleOwner() const
{
    return effectiveRole() == TeamInstallationRole::owner && securityStatus
           && securityStatus->installations.size() == 1;
}

bool TeamMembershipFacts::isPendingUnregisteredTeam() const
{
    return hasStoredKey && !isRegistered;
}

bool TeamMembershipFacts::canRemoveCurrentMembership() const
{
    if (!hasConfiguredMembership)
        return false;
    if (effectiveRole() != TeamInstallationRole::owner)
        return true;
    return isSoleOwner() || isPendingUnregisteredTeam();
}

bool TeamMembershipFacts::removalDeletesTeam() const
{
    return isSoleOwner() || isPendingUnregisteredTeam();
}

} // namespace tolvaran
