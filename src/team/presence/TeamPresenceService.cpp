#include "team/presence/TeamPresenceService.h"

#include "team/presence/TeamPresenceRules.h"
#include "team/server/TeamSettingsStore.h"

namespace tolvaran {

TeamPresenceService::TeamPresenceService(TeamSettingsStore &settings,
                                         ProjectRepositoryStore &repositoryStore,
                                         ProjectMetadataCache &metadataCache,
                                         WorkSummaryGenerator &workSummaryGenerator,
                                         TeamClock &clock,
                                         JitterSource jitter, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_tokenUsageSnapshot(TokenUsageSnapshot::empty())
    , m_workSummaries(workSummaryGenerator, settings.defaults(), clock, this)
    , m_localProjects(settings, repositoryStore, metadataCache, m_workSummaries, this)
    , m_connection(settings, *this, clock, std::move(jitter), this)
{
    m_values.setTeamName(settings.teamName());
    connect(&m_connection.client(), &TeamServerClient::teamNameConfirmed, this,
            [this](const QString &name) {
                if (m_values.setTeamName(name))
                    publish({TeamPublishedValue::teamName});
            });
    connect(&m_connection, &TeamPresenceConnection::connectionStateChanged, this,
            [this](const TeamConnectionState &state) {
                Q_EMIT connectionStateChanged(state);
                Q_EMIT changed();
            });
    connect(&m_connection, &TeamPresenceConnection::securityStatusChanged, this, [this] {
        Q_EMIT securityStatusChanged();
        Q_EMIT changed();
    });
    // The activity goes first: the state message the snapshot may call for carries it.
    connect(&m_connection, &TeamPresenceConnection::snapshotReceived, this,
            &TeamPresenceService::updatePublishedLocalActivity);
    connect(&m_connection, &TeamPresenceConnection::snapshotAccepted, this,
            [this](const TeamSnapshot &snapshot) {
                applySnapshot(snapshot);
                Q_EMIT snapshotAccepted(snapshot);
            });
    connect(&m_localProjects, &TeamLocalProjects::statesChanged, this,
            &TeamPresenceService::localProjectsChanged);
    connect(&m_workSummaries, &WorkSummaryScheduler::workSummaryGenerated, this,
            &TeamPresenceService::workSummaryGenerated);
}

// The connection closes its socket as it goes.
TeamPresenceService::~TeamPresenceService() = default;

void TeamPresenceService::reconfigure()
{
    m_connection.stop();
    resetTeamSnapshotState();
    m_connection.start();
}

void TeamPresenceService::resetTeamSnapshotState()
{
    m_workSummaries.reset();
    m_localProjects.reset();
    m_connection.forgetServer();

    // Whatever the server said goes, so that no card shows a teammate "connected now" while
    // the new settings are tried (for ever, should the server refuse them).
    QList<TeamPublishedValue> changedValues;
    if (m_values.setTeamName(m_settings.teamName()))
        changedValues.append(TeamPublishedValue::teamName);
    changedValues += m_values.clearTeammates();
    // The published activity follows the states just reloaded, not the ones before the reset.
    const bool activityChanged = m_values.updateLocalActivity(
        nullptr, m_connection.negotiatedProtocolVersion(), localSide());
    if (updateSharedActivityScope() || activityChanged)
        changedValues.append(TeamPublishedValue::localActivityByPath);
    publish(changedValues);
}

bool TeamPresenceService::updateSharedActivityScope()
{
    const qint64 protocol = m_connection.negotiatedProtocolVersion();
    QSet<QString> overlap = protocol == TeamPresenceConnection::privateProtocolVersion
                                ? m_connection.overlappingRepositoryIDs()
                                : QSet<QString>();
    if (protocol == m_sharedActivityProtocol && overlap == m_sharedActivityOverlap)
        return false;
    m_sharedActivityProtocol = protocol;
    m_sharedActivityOverlap = std::move(overlap);
    return true;
}

TeamLocalSide TeamPresenceService::localSide() const
{
    const std::optional<QString> teamID = m_settings.teamID();
    // Wall-clock time: it becomes the user's own "last seen" on the people list.
    return TeamLocalSide{TeamOwnDevice{m_settings.deviceID(), m_settings.memberName()},
                         m_settings.teamName(),
                         m_localProjects.states(),
                         m_localProjects.placeholders(),
                         teamWireRepositoryIdFunction(teamID),
                         teamID,
                         Timestamp::now()};
}

void TeamPresenceService::updatePublishedLocalActivity()
{
    const std::optional<TeamSnapshot> &latest = m_connection.latestSnapshot();
    const TeamSnapshot *snapshot = latest ? &*latest : nullptr;
    const bool activityChanged = m_values.updateLocalActivity(
        snapshot, m_connection.negotiatedProtocolVersion(), localSide());
    if (updateSharedActivityScope() || activityChanged)
        publish({TeamPublishedValue::localActivityByPath});
}

void TeamPresenceService::applySnapshot(const TeamSnapshot &snapshot)
{
    const TeamSnapshotValues::Outcome outcome = m_values.apply(snapshot, localSide());
    if (outcome.serverTeamNameForSettings)
        m_settings.applyServerTeamName(*outcome.serverTeamNameForSettings);
    publish(outcome.changed);
}

void TeamPresenceService::publish(const QList<TeamPublishedValue> &changedValues)
{
    if (changedValues.isEmpty())
        return;
    for (const TeamPublishedValue value : changedValues) {
        switch (value) {
        case TeamPublishedValue::teamName:
            Q_EMIT teamNameChanged(m_values.teamName());
            break;
        case TeamPublishedValue::connectedPeople:
            Q_EMIT connectedPeopleChanged();
            break;
        case TeamPublishedValue::commitNotifications:
            Q_EMIT commitNotificationsChanged();
            break;
        case TeamPublishedValue::recentCommits:
            Q_EMIT recentCommitsChanged();
            break;
        case TeamPublishedValue::sharedProjectPaths:
            Q_EMIT sharedProjectPathsChanged();
            break;
        case TeamPublishedValue::summariesByPath:
            Q_EMIT summariesByPathChanged();
            break;
        case TeamPublishedValue::usageSummariesByPath:
            Q_EMIT usageSummariesByPathChanged();
            break;
        case TeamPublishedValue::localActivityByPath:
            Q_EMIT localActivityByPathChanged();
            break;
        }
    }
    Q_EMIT changed();
}

void TeamPresenceService::localProjectsChanged(const QList<CommitCreatedMessage> &newCommits)
{
    updatePublishedLocalActivity();
    if (const std::optional<TeamSnapshot> &latest = m_connection.latestSnapshot())
        applySnapshot(*latest);
    for (const CommitCreatedMessage &commit : newCommits)
        m_connection.queueOutgoingCommit(commit);
    m_connection.sendPresence(false);
}

void TeamPresenceService::workSummaryGenerated(const QString &path, const QString &sentence)
{
    const SharedProjectState *state = m_localProjects.setWorkSummary(path, sentence);
    if (!state)
        return;
    if (m_values.setLocalActivity(path, *state))
        publish({TeamPublishedValue::localActivityByPath});
    m_connection.sendPresence(false);
}

std::optional<SharedProjectState> TeamPresenceService::localActivity(const QString &path) const
{
    const auto found = m_values.localActivityByPath().constFind(path);
    if (found == m_values.localActivityByPath().cend() || !TeamPresenceRules::isActive(*found))
        return std::nullopt;
    // Under protocol 2 the state message carries a repository's state only while the server
    // names it as overlapping; otherwise the server sees just its keyed id, and showing the
    // state as shared would misstate what leaves this computer.
    if (m_connection.negotiatedProtocolVersion() == TeamPresenceConnection::privateProtocolVersion
        && !m_connection.overlappingRepositoryIDs().contains(
            wireRepositoryID(found->repositoryId)))
        return std::nullopt;
    return *found;
}

void TeamPresenceService::dismissCommitNotification(const QString &eventId)
{
    if (m_values.dismissCommitNotification(eventId))
        publish({TeamPublishedValue::commitNotifications});
}

void TeamPresenceService::clearCommitNotifications()
{
    if (m_values.clearCommitNotifications())
        publish({TeamPublishedValue::commitNotifications});
}

void TeamPresenceService::setTokenUsageSnapshot(const TokenUsageSnapshot &snapshot)
{
    m_tokenUsageSnapshot = snapshot;
}

QString TeamPresenceService::wireRepositoryID(const QString &repositoryId) const
{
    return TeamPresenceRules::wireRepositoryID(m_settings.teamID(), repositoryId);
}

// Administration ----------------------------------------------------------------------------

TeamCallHandle TeamPresenceService::verifyTeam(const QString &key, QObject *context,
                                               TeamServerClient::Completion<TeamSnapshot> done)
{
    return m_connection.client().verifyTeam(key, context, std::move(done));
}

TeamCallHandle TeamPresenceService::updateTeamName(const QString &key, const QString &name,
                                                   QObject *context, TeamServerClient::Done done)
{
    return m_connection.client().updateTeamName(key, name, context, std::move(done));
}

TeamCallHandle TeamPresenceService::updateTeamNameAuthenticated(const QString &name,
                                                                QObject *context,
                                                                TeamServerClient::Done done)
{
    return m_connection.client().updateTeamNameAuthenticated(name, context, std::move(done));
}

TeamCallHandle TeamPresenceService::completeSecurityUpgrade(QObject *context,
                                                            TeamServerClient::Done done)
{
    return m_connection.client().completeSecurityUpgrade(context, std::move(done));
}

TeamCallHandle TeamPresenceService::rotateInviteKey(QObject *context,
                                                    TeamServerClient::Done done)
{
    return m_connection.client().rotateInviteKey(context, std::move(done));
}

TeamCallHandle TeamPresenceService::removeInstallation(const QString &deviceID,
                                                       QObject *context,
                                                       TeamServerClient::Done done)
{
    return m_connection.client().removeInstallation(deviceID, context, std::move(done));
}

TeamCallHandle TeamPresenceService::setInstallationRole(TeamInstallationRole role,
                                                        const QString &deviceID,
                                                        QObject *context,
                                                        TeamServerClient::Done done)
{
    return m_connection.client().setInstallationRole(role, deviceID, context, std::move(done));
}

TeamCallHandle TeamPresenceService::transferOwnership(const QString &deviceID,
                                                      QObject *context,
                                                      TeamServerClient::Done done)
{
    return m_connection.client().transferOwnership(deviceID, context, std::move(done));
}

TeamCallHandle TeamPresenceService::leaveTeam(QObject *context, TeamServerClient::Done done)
{
    return m_connection.client().leaveTeam(context, std::move(done));
}

TeamCallHandle TeamPresenceService::deleteTeam(QObject *context, TeamServerClient::Done done)
{
    return m_connection.client().deleteTeam(context, std::move(done));
}

} // namespace tolvaran
