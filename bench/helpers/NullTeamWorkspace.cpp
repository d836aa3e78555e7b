#include "helpers/NullTeamWorkspace.h"

namespace tolvaran {

QSet<QString> NullTeamWorkspace::teamIDs(const QString &) const
{
    return {};
}

void NullTeamWorkspace::updateProjects(const QList<LocalTeamProjectSource> &) {}

void NullTeamWorkspace::updateTokenUsage(const TokenUsageSnapshot &) {}

void NullTeamWorkspace::refreshProjects(const QSet<QString> &, std::function<void()> done)
{
    if (done)
        done();
}

QList<TeamWorkspaceTeam> NullTeamWorkspace::enabledTeams() const
{
    return {};
}

QString NullTeamWorkspace::teamName() const
{
    return QStringLiteral("Teams");
}

TeamConnectionState NullTeamWorkspace::connectionState() const
{
    return TeamConnectionState::disabled();
}

bool NullTeamWorkspace::hasTeamMemberships() const
{
    return false;
}

QList<TeamCommitEvent> NullTeamWorkspace::commitNotifications() const
{
    return {};
}

void NullTeamWorkspace::dismissCommitNotification(const TeamCommitEvent &) {}

} // namespace tolvaran
