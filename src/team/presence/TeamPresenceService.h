#pragma once

#include "data/git/LocalTeamProjectSource.h"
#include "data/git/SharedProjectState.h"
#include "data/token_usage/TokenUsageSnapshot.h"
#include "team/presence/TeamClock.h"
#include "team/presence/TeamLocalProjects.h"
#include "team/presence/TeamPresenceConnection.h"
#include "team/presence/TeamSnapshotValues.h"
#include "team/presence/WorkSummaryScheduler.h"
#include "team/server/TeamCallHandle.h"
#include "team/server/TeamServerClient.h"
#include "team/wire/CommitCreatedMessage.h"
#include "team/wire/TeamSnapshot.h"
#include "team_interface/TeamConnectionState.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace tolvaran {

class ProjectMetadataCache;
class ProjectRepositoryStore;
class WorkSummaryGenerator;
class TeamSettingsStore;

// One team profile's presence: what the team shows of its server and of this device's
// projects. It owns three parts and wires them: the connection to the team server
// (TeamPresenceConnection: the REST client, the socket loop, the state and commit messages),
// this device's projects and their scans (TeamLocalProjects) and the scheduling of their work
// summaries (WorkSummaryScheduler). It holds the published values (TeamSnapshotValues): every
// snapshot the connection receives first updates this device's activity (before any state
// message) and is then applied to the local projects; every change of the local projects
// recomputes the activity, re-applies the latest snapshot and sends the state.
//
// reconfigure() stops everything, forgets what the server and the scans said and starts
// again. Every wait runs on the injected TeamClock. Nothing in the constructor touches the
// network. Destroying the service closes its socket (code 1001). GUI thread only.
class TeamPresenceService final : public QObject, private TeamPresenceConnection::Content
{
    Q_OBJECT

public:
    // The waits a caller may step the clock through; the rest are the parts' own.
    static constexpr auto heartbeatInterval = TeamPresenceConnection::heartbeatInterval;
    static constexpr auto socketOpeningTimeout = TeamPresenceConnection::socketOpeningTimeout;
    static constexpr auto pingInterval = TeamPresenceConnection::pingInterval;
    static constexpr auto pongDeadline = TeamPresenceConnection::pongDeadline;
    static constexpr auto stableConnectionDuration =
        TeamPresenceConnection::stableConnectionDuration;
    static constexpr auto summaryRetryDelay = WorkSummaryScheduler::summaryRetryDelay;
    static inline const QString &generatedWorkSummariesKey =
        WorkSummaryScheduler::generatedWorkSummariesKey;

    using JitterSource = TeamPresenceConnection::JitterSource;

    static std::chrono::milliseconds backoffDelay(qint64 failures, double jitter)
    {
        return TeamPresenceConnection::backoffDelay(failures, jitter);
    }

    TeamPresenceService(TeamSettingsStore &settings, ProjectRepositoryStore &repositoryStore,
                        ProjectMetadataCache &metadataCache,
                        WorkSummaryGenerator &workSummaryGenerator,
                        TeamClock &clock = TeamClock::systemClock(),
                        JitterSource jitter = {}, QObject *parent = nullptr);
    ~TeamPresenceService() override;

    // Published state, read on the GUI thread. Each value has its change signal, followed by
    // changed() once per update.
    const TeamConnectionState &connectionState() const { return m_connection.connectionState(); }
    const QString &teamName() const { return m_values.teamName(); }
    const QList<TeamConnectedPerson> &connectedPeople() const
    {
        return m_values.connectedPeople();
    }
    const QList<TeamCommitEvent> &recentCommits() const { return m_values.recentCommits(); }
    const QList<TeamCommitEvent> &commitNotifications() const
    {
        return m_values.commitNotifications();
    }
    const QSet<QString> &sharedProjectPaths() const { return m_values.sharedProjectPaths(); }
    const QHash<QString, TeamProjectSummary> &summariesByPath() const
    {
        return m_values.summariesByPath();
    }
    const QHash<QString, TeamProjectUsageSummary> &usageSummariesByPath() const
    {
        return m_values.usageSummariesByPath();
    }
    const QHash<QString, SharedProjectState> &localActivityByPath() const override
    {
        return m_values.localActivityByPath();
    }
    const std::optional<TeamSecurityStatus> &securityStatus() const
    {
        return m_connection.securityStatus();
    }
    const TokenUsageSnapshot &tokenUsageSnapshot() const override
    {
        return m_tokenUsageSnapshot;
    }

    // This device's published state of the project at `path` while it shows activity (changes
    // or a running Codex task) and the server receives that state: under protocol 2 only while
    // the server names the repository as overlapping. Nothing for a clean, idle or unknown
    // project. localActivityByPathChanged() announces a change of either.
    std::optional<SharedProjectState> localActivity(const QString &path) const;

    // Removes one queued commit notice (the user closed it).
    void dismissCommitNotification(const QString &eventId);
    // Drops every queued notice at once (one change published).
    void clearCommitNotifications();

    // What the connection learnt from the server.
    const std::optional<TeamSnapshot> &latestSnapshot() const
    {
        return m_connection.latestSnapshot();
    }
    qint64 negotiatedProtocolVersion() const { return m_connection.negotiatedProtocolVersion(); }
    const QSet<QString> &overlappingRepositoryIDs() const
    {
        return m_connection.overlappingRepositoryIDs();
    }
    bool isSocketReady() const { return m_connection.isSocketReady(); }
    qint64 consecutiveConnectionFailures() const
    {
        return m_connection.consecutiveConnectionFailures();
    }
    const QList<CommitCreatedMessage> &pendingOutgoingCommits() const
    {
        return m_connection.pendingOutgoingCommits();
    }

    // Set once by the owner that first starts the service (which then calls reconfigure()).
    bool isStarted() const { return m_isStarted; }
    void setStarted(bool started) { m_isStarted = started; }

    // Stops all work (the socket closed with code 1001), forgets what the server and the scans
    // said, and starts again when the team is enabled and has an authorization; otherwise the
    // state becomes `disabled`.
    void reconfigure();

    // See TeamPresenceConnection::sendPresence.
    void sendPresence(bool forceLease) { m_connection.sendPresence(forceLease); }

    // See TeamLocalProjects: the coordinator's project list (an unchanged one is ignored;
    // presence follows once its projects are named), and the scans of some of its paths.
    void updateProjects(const QList<LocalTeamProjectSource> &sources)
    {
        m_localProjects.updateProjects(sources);
    }
    void refreshProjects(const QSet<QString> &paths, std::function<void()> done)
    {
        m_localProjects.refreshProjects(paths, std::move(done));
    }

    // The coordinator's token usage, attached to the projects this device publishes.
    void setTokenUsageSnapshot(const TokenUsageSnapshot &snapshot);
    void queueOutgoingCommit(const CommitCreatedMessage &commit)
    {
        m_connection.queueOutgoingCommit(commit);
    }

    // Under protocol 2, the name of a repository on this team's wire.
    QString wireRepositoryID(const QString &repositoryId) const;
    // The local projects this device knows: placeholders overlaid with scanned states.
    QHash<QString, SharedProjectState> repositoryInventoryByPath() const override
    {
        return m_localProjects.repositoryInventoryByPath();
    }

    // The REST calls, through the service's one client.
    TeamServerClient &client() { return m_connection.client(); }
    TeamCallHandle verifyTeam(const QString &key, QObject *context,
                              TeamServerClient::Completion<TeamSnapshot> done);
    TeamCallHandle updateTeamName(const QString &key, const QString &name, QObject *context,
                                  TeamServerClient::Done done);
    TeamCallHandle updateTeamNameAuthenticated(const QString &name, QObject *context,
                                               TeamServerClient::Done done);
    TeamCallHandle completeSecurityUpgrade(QObject *context, TeamServerClient::Done done);
    TeamCallHandle rotateInviteKey(QObject *context, TeamServerClient::Done done);
    TeamCallHandle removeInstallation(const QString &deviceID, QObject *context,
                                      TeamServerClient::Done done);
    TeamCallHandle setInstallationRole(TeamInstallationRole role, const QString &deviceID,
                                       QObject *context, TeamServerClient::Done done);
    TeamCallHandle transferOwnership(const QString &deviceID, QObject *context,
                                     TeamServerClient::Done done);
    TeamCallHandle leaveTeam(QObject *context, TeamServerClient::Done done);
    TeamCallHandle deleteTeam(QObject *context, TeamServerClient::Done done);

Q_SIGNALS:
    void connectionStateChanged(const tolvaran::TeamConnectionState &state);
    void teamNameChanged(const QString &name);
    void connectedPeopleChanged();
    void recentCommitsChanged();
    void commitNotificationsChanged();
    void sharedProjectPathsChanged();
    void summariesByPathChanged();
    void usageSummariesByPathChanged();
    // The published activity, or which of it localActivity() answers, changed.
    void localActivityByPathChanged();
    void securityStatusChanged();
    // Once after any of the value signals above (what the workspace forwards as its change).
    void changed();
    // A snapshot the socket accepted or an administration call fetched, already stored in
    // latestSnapshot() and applied to the published values.
    void snapshotAccepted(const tolvaran::TeamSnapshot &snapshot);

private:
    void resetTeamSnapshotState();
    // Notes the protocol and overlap that localActivity() answers by; true when they changed.
    bool updateSharedActivityScope();
    // This device's side of a snapshot comparison; borrows the local projects' maps.
    TeamLocalSide localSide() const;
    // Recomputes the published local activity from the stored snapshot and local states.
    void updatePublishedLocalActivity();
    // Applies `snapshot` to the projects and publishes what changed.
    void applySnapshot(const TeamSnapshot &snapshot);
    void publish(const QList<TeamPublishedValue> &changedValues);
    // The local projects were named or scanned: the activity, the snapshot's view of them and
    // the state message follow, with the commits the scan found.
    void localProjectsChanged(const QList<CommitCreatedMessage> &newCommits);
    void workSummaryGenerated(const QString &path, const QString &sentence);

    TeamSettingsStore &m_settings;
    TeamSnapshotValues m_values;
    TokenUsageSnapshot m_tokenUsageSnapshot;
    bool m_isStarted = false;
    qint64 m_sharedActivityProtocol = TeamPresenceConnection::initialProtocolVersion;
    QSet<QString> m_sharedActivityOverlap; // under protocol 2 only

    // Children of the service, in the order they need each other.
    WorkSummaryScheduler m_workSummaries;
    TeamLocalProjects m_localProjects;
    TeamPresenceConnection m_connection;
};

} // namespace tolvaran
