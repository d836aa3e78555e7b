#pragma once

#include "team_interface/TeamConnectionState.h"

#include <QColor>
#include <QPalette>
#include <QString>

namespace tolvaran {

// How the team screens show a team's connection. The message a reconnecting or failed state
// carries is never shown. The join sheet and the dashboard colour the states differently.
namespace TeamConnectionPresentation {

// "Team connected", "Team connecting", "Team reconnecting", "Team unavailable", "Team off".
QString label(const TeamConnectionState &state);

// The join sheet's footer: a check in green while connected, else a dotted circle in the
// secondary colour.
QString sheetSymbol(const TeamConnectionState &state);
QColor sheetColor(const TeamConnectionState &state, const QPalette &palette);

// The dashboard's dot and label: green, orange while (re)connecting, red when failed,
// secondary when off.
QColor dashboardColor(const TeamConnectionState &state, const QPalette &palette);

} // namespace TeamConnectionPresentation

} // namespace tolvaran
