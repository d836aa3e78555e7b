#include "team/server/TeamServiceError.h"

namespace tolvaran {

QString errorMessage(TeamServiceErrorKind kind)
{
    using Kind = TeamServiceErrorKind;
    switch (kind) {
    case Kind::serverMessage:
        return QStringLiteral("The team server refused the request.");
    case Kind::invalidSettings:
        return QStringLiteral("The team server URL or key is invalid.");
    case Kind::invalidResponse:
        return QStringLiteral("The team server returned an invalid response.");
    case Kind::registrationFailed:
        return QStringLiteral("The team could not be registered with the server.");
    case Kind::notRegistered:
        return QStringLiteral("That team key has not been registered. Ask the team creator to "
                              "confirm the shared key.");
    case Kind::connectionFailed:
        return QStringLiteral("The team server could not verify this team key.");
    case Kind::teamUpdateFailed:
        return QStringLiteral("The team name could not be updated.");
    case Kind::insecureServerURL:
        return QStringLiteral("The team server URL must use https; plain http is allowed only "
                              "for 127.0.0.1 and localhost.");
    case Kind::invalidDeviceID:
        return QStringLiteral("That device ID cannot be used in a request to the team server.");
    }
    Q_UNREACHABLE();
    return {};
}

QString errorMessage(TeamServiceErrorKind kind, const QString &serverSentence)
{
    return kind == TeamServiceErrorKind::serverMessage ? serverSentence : errorMessage(kind);
}

} // namespace tolvaran
