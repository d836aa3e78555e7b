#include "team/server/TeamSettingsError.h"

namespace tolvaran {

QString errorMessage(TeamSettingsErrorKind kind)
{
    using Kind = TeamSettingsErrorKind;
    switch (kind) {
    case Kind::invalidMemberName:
        return QStringLiteral("Enter a display name of 80 characters or fewer.");
    case Kind::invalidTeamName:
        return QStringLiteral("Enter a team name of 80 characters or fewer.");
    case Kind::missingKey:
        return QStringLiteral("Enter the shared team key before enabling team presence.");
    case Kind::shortKey:
        return QStringLiteral("The shared team key must be at least 24 characters.");
    case Kind::credentialStorageFailure:
        return QStringLiteral(
            "The shared team key could not be saved in the app's private data folder.");
    case Kind::alreadyMember:
        return QStringLiteral("This computer is already a member of this team.");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace tolvaran
