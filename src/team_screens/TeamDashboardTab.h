#pragma once

#include "team_interface/TeamCommitEvent.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace tolvaran {

// The tabs of a team in the teams dashboard, in the tab bar's order. A tab's raw value is its
// label.
enum class TeamDashboardTab { settings, projects, people, commits };

inline constexpr std::array<TeamDashboardTab, 4> allTeamDashboardTabs{
    TeamDashboardTab::settings, TeamDashboardTab::projects, TeamDashboardTab::people,
    TeamDashboardTab::commits};

QString rawValue(TeamDashboardTab tab);
// Exactly the four raw values; none for any other text.
std::optional<TeamDashboardTab> teamDashboardTabFromRawValue(const QString &rawValue);
QString symbolName(TeamDashboardTab tab);

// The dashboard's lists.
namespace TeamDashboardLists {

// At most this many of the team's recent commits are listed.
inline constexpr qsizetype shownCommitCount = 20;

// The paths in code-point order (case-sensitive, not localized: "Zeta" before "alpha").
QStringList sortedSharedPaths(const QSet<QString> &paths);
// The first shownCommitCount commits, in the published order (latest received first).
QList<TeamCommitEvent> shownCommits(const QList<TeamCommitEvent> &commits);
// The last component of a path ("/a/b/" gives "b").
QString lastPathComponent(const QString &path);

} // namespace TeamDashboardLists

} // namespace tolvaran
