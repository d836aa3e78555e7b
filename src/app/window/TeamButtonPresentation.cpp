#include "app/window/TeamButtonPresentation.h"

namespace tolvaran {

QString TeamButtonPresentation::connectionText(const TeamConnectionState &state)
{
    switch (state.state) {
    case TeamConnectionState::Case::connecting:
        return QStringLiteral("Team connecting");
    case TeamConnectionState::Case::connected:
        return QStringLiteral("Team connected");
    case TeamConnectionState::Case::reconnecting:
        return QStringLiteral("Team reconnecting");
    case TeamConnectionState::Case::failed:
        return QStringLiteral("Team unavailable");
    case TeamConnectionState::Case::disabled:
        break;
    }
    return QStringLiteral("Team off");
}

TeamButtonPresentation::Tone TeamButtonPresentation::toneOf(const TeamConnectionState &state)
{
    switch (state.state) {
    case TeamConnectionState::Case::connected:
        return Tone::connected;
    case TeamConnectionState::Case::connecting:
    case TeamConnectionState::Case::reconnecting:
        return Tone::connecting;
    case TeamConnectionState::Case::failed:
        return Tone::failed;
    case TeamConnectionState::Case::disabled:
        break;
    }
    return Tone::off;
}

TeamButtonPresentation TeamButtonPresentation::forWorkspace(bool hasTeamMemberships,
                                                            const QString &teamName,
                                                            const TeamConnectionState &state)
{
    if (hasTeamMemberships) {
        return {QString(), QStringLiteral("person.2"), QStringLiteral("Team activity"),
                teamName + QStringLiteral(": ") + connectionText(state), true, toneOf(state)};
    }
    return {QStringLiteral("Add/Join Team"), QStringLiteral("person.2.badge.plus"),
            QStringLiteral("Add or join a team"), QStringLiteral("Add or join a team"), false,
            Tone::invitation};
}

} // namespace tolvaran
