#include "support/team/RecordingTeamWorkspace.h"

namespace tolvaran::fixtures {

void RecordingTeamWorkspace::setTeamIDs(const QString &path, const QSet<QString> &teamIDs)
{
    m_teamIDs.insert(path, teamIDs);
}

QSet<QString> RecordingTeamWorkspace::teamIDs(const QString &path) const
{
    return m_teamIDs.value(path);
}

void RecordingTeamWorkspace::updateProjects(const QList<LocalTeamProjectSource> &sources)
{
    projectUpdates.append(sources);
}

void RecordingTeamWorkspace::updateTokenUsage(const TokenUsageSnapshot &snapshot)
{
    tokenUsageUpdates.append(snapshot);
}

void RecordingTeamWorkspace::refreshProjects(const QSet<QString> &paths,
                                             std::function<void()> done)
{
    rescans.append(paths);
    if (onRescan)
        onRescan(paths);
    if (done)
        done();
}

void RecordingTeamWorkspace::dismissCommitNotification(const TeamCommitEvent &event)
{
    if (commits.removeOne(event))
        Q_EMIT commitNotificationsChanged();
}

} // namespace tolvaran::fixtures
