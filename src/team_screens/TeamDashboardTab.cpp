#include "team_screens/TeamDashboardTab.h"

#include <QFileInfo>

#include <algorithm>

namespace tolvaran {

QString rawValue(TeamDashboardTab tab)
{
    switch (tab) {
    case TeamDashboardTab::settings:
        return QStringLiteral("Settings");
    case TeamDashboardTab::projects:
        return QStringLiteral("Shared Projects");
    case TeamDashboardTab::people:
        return QStringLiteral("People");
    case TeamDashboardTab::commits:
        break;
    }
    return QStringLiteral("Recent Commits");
}

std::optional<TeamDashboardTab> teamDashboardTabFromRawValue(const QString &value)
{
    for (TeamDashboardTab tab : allTeamDashboardTabs) {
        if (rawValue(tab) == value)
            return tab;
    }
    return std::nullopt;
}

QString symbolName(TeamDashboardTab tab)
{
    switch (tab) {
    case TeamDashboardTab::settings:
        return QStringLiteral("gearshape");
    case TeamDashboardTab::projects:
        return QStringLiteral("folder.badge.person.crop");
    case TeamDashboardTab::people:
        return QStringLiteral("person.2");
    case TeamDashboardTab::commits:
        break;
    }
    return QStringLiteral("point.3.connected.trianglepath.dotted");
}

namespace TeamDashboardLists {

QStringList sortedSharedPaths(const QSet<QString> &paths)
{
    QStringList sorted(paths.begin(), paths.end());
    // QString's operator< compares UTF-16 code units, which would put a character beyond the
    // basic plane before some within it.
    std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
        return a.toUcs4() < b.toUcs4();
    });
    return sorted;
}

QList<TeamCommitEvent> shownCommits(const QList<TeamCommitEvent> &commits)
{
    return commits.first(std::min(commits.size(), shownCommitCount));
}

QString lastPathComponent(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QString name = QFileInfo(trimmed).fileName();
    return name.isEmpty() ? trimmed : name;
}

} // namespace TeamDashboardLists

} // namespace tolvaran
