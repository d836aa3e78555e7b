#pragma once

#include "team_interface/TeamConnectionState.h"

#include <QString>

namespace tolvaran {

// What the header's team button shows. With a team membership it is an image-only button in
// the colour of the teams' combined connection; without one it invites the user to add or
// join a team.
struct TeamButtonPresentation
{
    // The colour of the button: green while connected, orange while (re)connecting, red when
    // the connection failed, secondary when no team is on; the accent colour for the
    // invitation.
    enum class Tone { connected, connecting, failed, off, invitation };

    QString title;
    QString symbolName;
    QString accessibleDescription;
    QString toolTip;
    bool imageOnly = true;
    Tone tone = Tone::off;

    friend bool operator==(const TeamButtonPresentation &, const TeamButtonPresentation &) =
        default;

    static TeamButtonPresentation forWorkspace(bool hasTeamMemberships, const QString &teamName,
                                               const TeamConnectionState &state);

    // "Team connecting", "Team connected", "Team reconnecting", "Team unavailable" (failed),
    // "Team off" (disabled).
    static QString connectionText(const TeamConnectionState &state);
    static Tone toneOf(const TeamConnectionState &state);
};

} // namespace tolvaran
