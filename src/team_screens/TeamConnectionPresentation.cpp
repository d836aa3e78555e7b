#include "team_screens/TeamConnectionPresentation.h"

#include "widgets/BrowserStyle.h"
#include "widgets/SystemColors.h"

namespace tolvaran::TeamConnectionPresentation {

using Case = TeamConnectionState::Case;

QString label(const TeamConnectionState &state)
{
    switch (state.state) {
    case Case::connected:
        return QStringLiteral("Team connected");
    case Case::connecting:
        return QStringLiteral("Team connecting");
    case Case::reconnecting:
        return QStringLiteral("Team reconnecting");
    case Case::failed:
        return QStringLiteral("Team unavailable");
    case Case::disabled:
        break;
    }
    return QStringLiteral("Team off");
}

QString sheetSymbol(const TeamConnectionState &state)
{
    return state.state == Case::connected ? QStringLiteral("checkmark.circle.fill")
                                          : QStringLiteral("circle.dotted");
}

QColor sheetColor(const TeamConnectionState &state, const QPalette &palette)
{
    return state.state == Case::connected ? SystemColors::green()
                                          : BrowserStyle::secondaryLabelColor(palette);
}

QColor dashboardColor(const TeamConnectionState &state, const QPalette &palette)
{
    switch (state.state) {
    case Case::connected:
        return SystemColors::green();
    case Case::connecting:
    case Case::reconnecting:
        return SystemColors::orange();
    case Case::failed:
        return SystemColors::red();
    case Case::disabled:
        break;
    }
    return BrowserStyle::secondaryLabelColor(palette);
}

} // namespace tolvaran::TeamConnectionPresentation
