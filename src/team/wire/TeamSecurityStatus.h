#pragma once

#include "team/wire/TeamInstallation.h"

#include <QList>
#include <QStringList>

namespace tolvaran {

// The team's security state as the requesting device sees it.
struct TeamSecurityStatus
{
    bool legacyKeyEnabled = false;
    std::optional<TeamInstallationRole> currentDeviceRole; // absent when it has none
    QList<TeamInstallation> installations;
    QStringList unregisteredRecentMembers;

    friend bool operator==(const TeamSecurityStatus &, const TeamSecurityStatus &) = default;

    // An unknown role, here or in any installation, fails the record.
    static TeamSecurityStatus decode(TeamJsonReader &reader);
    void write(TeamJsonWriter &writer) const;
};

} // namespace tolvaran
