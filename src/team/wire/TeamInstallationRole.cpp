#include "team/wire/TeamInstallationRole.h"

namespace tolvaran {

std::optional<TeamInstallationRole> teamInstallationRoleFromRawValue(const QString &rawValue)
{
    for (const auto role : {TeamInstallationRole::owner, TeamInstallationRole::admin,
                            TeamInstallationRole::member}) {
        if (rawValue == tolvaran::rawValue(role))
            return role;
    }
    return std::nullopt;
}

QString rawValue(TeamInstallationRole role)
{
    switch (role) {
    case TeamInstallationRole::owner:
        return QStringLiteral("owner");
    case TeamInstallationRole::admin:
        return QStringLiteral("admin");
    case TeamInstallationRole::member:
        return QStringLiteral("member");
    }
    return {};
}

} // namespace tolvaran
