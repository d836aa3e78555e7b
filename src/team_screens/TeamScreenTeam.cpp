#include "team_screens/TeamScreenTeam.h"

#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamSettingsStore.h"

namespace tolvaran {

void onTeamChange(const TeamScreenTeam &team, QObject *receiver, std::function<void()> handler)
{
    const TeamSettingsStore *settings = &team.settings();
    QObject::connect(&team.service(), &TeamPresenceService::changed, receiver, handler);
    QObject::connect(settings, &TeamSettingsStore::isEnabledChanged, receiver, handler);
    QObject::connect(settings, &TeamSettingsStore::memberNameChanged, receiver, handler);
    QObject::connect(settings, &TeamSettingsStore::teamNameChanged, receiver, handler);
    QObject::connect(settings, &TeamSettingsStore::hasStoredKeyChanged, receiver, handler);
}

bool isPlainMember(const TeamScreenTeam &team)
{
    const std::optional<TeamSecurityStatus> &status = team.service().securityStatus();
    return status && status->currentDeviceRole == TeamInstallationRole::member;
}

} // namespace tolvaran
