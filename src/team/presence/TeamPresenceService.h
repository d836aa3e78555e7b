#pragma once

#include "data/git/LocalTeamProjectSource.h"
#include "data/git/SharedProjectState.h"
#include "team_interface/TeamConnectionState.h"
#include "data/git/LocalTeamProjectState.h"
#include "data/token_usage/TokenUsageSnapshot.h"
#include "team/wire/CommitCreatedMessage.h"
#include "team/server/TeamCallHandle.h"
#include "team/presence/TeamClock.h"
#include "team/server/TeamServerClient.h"
#include "team/wire/TeamSnapshot.h"
#include "work/WorkGroup.h"
#include "team/presence/TeamSnapshotValues.h"
#include "team/presence/WorkSummaryRequest.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QWebSocket;

namespace tolvaran {

class ProjectMetadataCache;
class ProjectRepositoryStore;
class WorkSummaryGenerator;
class TeamSettingsStore;

// The client of the team server for one team profile: it owns the profile's REST client and,
// while the team is enabled and has an authorization, one WebSocket to the server.
//
// reconfigure() stops everything, forgets what the server said and starts again: the
// connection loop registers the device when it has no installation identity yet, then opens
// the socket (a failed attempt when it is not upgraded within socketOpeningTimeout), accepts
// the server's
// snapshots, answers the first one of each socket (and every change of the overlapping
// repositories) with this device's state, and after every drop opens a new socket after a
// jittered back-off (2 s doubling to 60 s). A heartbeat resends the state every 60 s; between
// heartbeats an unchanged state is never sent twice on one socket. Every accepted snapshot is
// applied to the local projects (TeamSnapshotValues) and what changed is published.
//
// Every wait runs on the injected TeamClock. Nothing in the constructor touches the network.
// Destroying the service closes its socket (code 1001). GUI thread only.
class TeamPresenceService final : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::seconds heartbeatInterval{60};
    // How long the socket may take to be upgraded, as every team request's time limit: a
    // server that takes the connection and never answers ends the attempt as a failure.
    static constexpr std::chrono::seconds socketOpeningTimeout{60};
    // A socket that lived this long before it dropped starts the back-off afresh.
    static constexpr std::chrono::seconds stableConnectionDuration{60};
    static constexpr std::chrono::seconds firstBackoffDelay{2};
    static constexpr std::chrono::seconds minimumBackoffDelay{1};
    static constexpr std::chrono::seconds maximumBackoffDelay{60};
    static constexpr int maximumBackoffDoublings = 5;
    static constexpr double minimumJitter = 0.85;
    static constexpr double maximumJitter = 1.15;
    static constexpr qint64 initialProtocolVersion = 1;
    static constexpr qint64 privateProtocolVersion = 2;
    // Projects scanned by one background job, one after the other.
    static constexpr qsizetype scanBatchSize = 4;
    // After a failed generation, the same project and fingerprint wait this long.
    static constexpr std::chrono::seconds summaryRetryDelay{120};
    static constexpr qsizetype maximumPersistedSummaries = 200;
    // Work summaries by fingerprint, in the user defaults; shared by every team.
    static inline const QString generatedWorkSummariesKey =
        QStringLiteral("team.generatedWorkSummaries");

    // A number drawn uniformly from [minimumJitter, maximumJitter].
    using JitterSource = std::function<double()>;

    // The delay before the next attempt after `failures` consecutive failures, for a jitter
    // factor drawn from [minimumJitter, maximumJitter]: 2, 4, 8, 16, 32, then 60 s, kept
    // within 1 to 60 s after the jitter.
    static std::chrono::milliseconds backoffDelay(qint64 failures, double jitter);

    TeamPresenceService(TeamSettingsStore &settings, ProjectRepositoryStore &repositoryStore,
                        ProjectMetadataCache &metadataCache,
                        WorkSummaryGenerator &workSummaryGenerator,
                        TeamClock &clock = TeamClock::systemClock(),
                        JitterSource jitter = {}, QObject *parent = nullptr);
    ~TeamPresenceService() override;

    // Published state, read on the GUI thread. Each value has its change signal, followed by
    // changed() once per update.
    const TeamConnectionState &connectionState() const { return m_connectionState; }
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
    const QHash<QString, SharedProjectState> &localActivityByPath() const
    {
        return m_values.localActivityByPath();
    }
    const std::optional<TeamSecurityStatus> &securityStatus() const { return m_securityStatus; }
    const TokenUsageSnapshot &tokenUsageSnapshot() const { return m_tokenUsageSnapshot; }

    // This device's published state of the project at `path` while it shows activity (changes
    // or a running Codex task); nothing for a clean, idle or unknown project.
    std::optional<SharedProjectState> localActivity(const QString &path) const;

    // Removes one queued commit notice (the user closed it).
    void dismissCommitNotification(const QString &eventId);
    // Drops every queued notice at once (one change published).
    void clearCommitNotifications();

    // What the connection learnt from the server.
    const std::optional<TeamSnapshot> &latestSnapshot() const { return m_latestSnapshot; }
    qint64 negotiatedProtocolVersion() const { return m_negotiatedProtocolVersion; }
    const QSet<QString> &overlappingRepositoryIDs() const { return m_overlappingRepositoryIDs; }
    bool isSocketReady() const { return m_isSocketReady; }
    qint64 consecutiveConnectionFailures() const { return m_consecutiveConnectionFailures; }
    const QList<CommitCreatedMessage> &pendingOutgoingCommits() const
    {
        return m_pendingOutgoingCommits;
    }

    // Set once by the owner that first starts the service (which then calls reconfigure()).
    bool isStarted() const { return m_isStarted; }
    void setStarted(bool started) { m_isStarted = started; }

    // Stops all work (the socket closed with code 1001), forgets what the server and the scans
    // said, and starts again when the team is enabled and has an authorization; otherwise the
    // state becomes `disabled`.
    void reconfigure();

    // Publishes this device's state on the socket (unless it is what was last sent on this
    // socket and `forceLease` is false), then the queued commits. Does nothing until the
    // socket has accepted its first snapshot. A failed send closes the socket (code 1001) and
    // the loop reconnects; a state that cannot be encoded is logged and the socket stays.
    void sendPresence(bool forceLease);

    // The coordinator's project list. An unchanged list is ignored. A changed one takes the
    // scanned states of its paths from the metadata cache at once; a background job then
    // names each project with a known origin (a placeholder, before any scan), and presence
    // follows. Nothing is scanned here.
    void updateProjects(const QList<LocalTeamProjectSource> &sources);
    // Scans those of `paths` that are projects of the list, in batches of scanBatchSize, and
    // calls `done` on the GUI thread when the queue is worked off. While the team is off
    // nothing is queued; while a scan runs the paths join its queue; either way `done` is
    // called at once.
    void refreshProjects(const QSet<QString> &paths, std::function<void()> done);

    // The coordinator's token usage, attached to the projects this device publishes.
    void setTokenUsageSnapshot(const TokenUsageSnapshot &snapshot);
    void queueOutgoingCommit(const CommitCreatedMessage &commit);

    // Under protocol 2, the name of a repository on this team's wire.
    QString wireRepositoryID(const QString &repositoryId) const;
    // The local projects this device knows: placeholders overlaid with scanned states.
    QHash<QString, SharedProjectState> repositoryInventoryByPath() const;

    // The REST calls, through the service's one client.
    TeamServerClient &client() { return m_client; }
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
    void localActivityByPathChanged();
    void securityStatusChanged();
    // Once after any of the value signals above (what the workspace forwards as its change).
    void changed();
    // A snapshot the socket accepted or an administration call fetched, already stored in
    // latestSnapshot() and applied to the published values.
    void snapshotAccepted(const tolvaran::TeamSnapshot &snapshot);

private:
    void stopConnection();
    void resetTeamSnapshotState();
    void setConnectionState(const TeamConnectionState &state);
    void setSecurityStatus(const std::optional<TeamSecurityStatus> &status);
    // This device's side of a snapshot comparison; borrows the service's maps.
    TeamLocalSide localSide() const;
    // Recomputes the published local activity from the stored snapshot and local states.
    void updatePublishedLocalActivity();
    // Applies `snapshot` to the projects and publishes what changed.
    void applySnapshot(const TeamSnapshot &snapshot);
    void publish(const QList<TeamPublishedValue> &changedValues);

    // Local projects (TeamPresenceServiceProjects.cpp).
    void applyProjectPlaceholders(const QHash<QString, SharedProjectState> &placeholders,
                                  const QList<LocalTeamProjectSource> &sources);
    // One turn of the scan loop of `generation`: the next batch, or the end of the loop.
    void scanNextBatch(quint64 generation, std::function<void()> done);
    void scanProjects(const QSet<QString> &paths, quint64 generation,
                      std::function<void()> then);
    struct ScannedTeamProjectState;
    void mergeScan(const QList<ScannedTeamProjectState> &scanned);
    void detectNewCommits(const QHash<QString, LocalTeamProjectState> &states);

    // Work summaries (TeamPresenceServiceSummaries.cpp).
    struct PendingWorkSummary
    {
        QString path;
        QString fingerprint; // the state's when the job was queued
        WorkSummaryRequest request;
    };
    struct GeneratedWorkSummary
    {
        QString fingerprint;
        QString summary;
    };
    // Records the fingerprint of every active state and puts in the sentence already known
    // for it (for the path, or by fingerprint from an earlier run).
    void adoptKnownWorkSummaries(QHash<QString, LocalTeamProjectState> &states);
    void enqueueWorkSummaries(const QHash<QString, LocalTeamProjectState> &states);
    void runSummaryQueue(quint64 runner);
    void summaryGenerated(quint64 runner, const PendingWorkSummary &job,
                          const std::optional<QString> &sentence);
    void storeWorkSummary(const QString &fingerprint, const QString &sentence);

    // The connection loop. Each run has its generation; a callback of an older run (a wait,
    // a registration answer, a socket signal) finds it stale and does nothing.
    bool isCurrent(quint64 generation) const { return generation == m_loopGeneration; }
    void registrationStep(quint64 generation);
    void openSocket(quint64 generation);
    void receiveMessage(quint64 generation, QWebSocket *socket, const QByteArray &bytes);
    // `connectionLost`: the socket reported its own end (else this side ends a live socket).
    void socketEnded(quint64 generation, QWebSocket *socket, const QString &error,
                     bool connectionLost);
    // Closes with code 1001 when `isOpen` and the socket is connected; else drops it.
    void closeSocket(QWebSocket *socket, bool isOpen = true);
    TeamClock::WaitID scheduleWait(std::chrono::milliseconds delay, std::function<void()> then);
    void cancelSocketOpeningWait();
    void heartbeat(quint64 generation);
    bool sendFrame(QWebSocket *socket, const QByteArray &bytes);
    void sendFailed(QWebSocket *socket, const QString &error);
    QByteArray encodeStateMessage(qint64 protocolVersion) const;

    TeamSettingsStore &m_settings;
    ProjectRepositoryStore &m_repositoryStore;
    ProjectMetadataCache &m_metadataCache;
    WorkSummaryGenerator &m_workSummaryGenerator;
    TeamClock &m_clock;
    JitterSource m_jitter;
    TeamServerClient m_client;

    TeamConnectionState m_connectionState = TeamConnectionState::disabled();
    TeamSnapshotValues m_values;
    std::optional<TeamSecurityStatus> m_securityStatus;

    QList<LocalTeamProjectSource> m_sources;
    QSet<QString> m_pendingRefreshPaths;
    bool m_isRefreshingLocalState = false;
    quint64 m_scanGeneration = 0; // raised by every reset: a scan of an older one is dropped
    QHash<QString, QString> m_knownHeadsByRepository;
    QHash<QString, GeneratedWorkSummary> m_generatedSummariesByPath;
    QHash<QString, QString> m_persistedSummariesByFingerprint;
    QHash<QString, QString> m_currentSummaryFingerprintsByPath;
    QList<PendingWorkSummary> m_pendingSummaryJobs;
    QHash<QString, TeamClock::Duration> m_summaryRetryAfterByFingerprint; // by path|fingerprint
    // The running queue runner; 0 when none runs. A cancelled runner finds it changed.
    quint64 m_summaryRunner = 0;
    quint64 m_lastSummaryRunner = 0;
    QHash<QString, SharedProjectState> m_repositoryPlaceholdersByPath;
    QHash<QString, LocalTeamProjectState> m_localProjectStatesByPath;
    std::optional<TeamSnapshot> m_latestSnapshot;
    QPointer<QWebSocket> m_socket;
    bool m_isStarted = false;
    bool m_isSocketReady = false;
    std::optional<TeamClock::Duration> m_socketConnectedAt;
    qint64 m_consecutiveConnectionFailures = 0;
    qint64 m_registrationFailures = 0;
    QList<CommitCreatedMessage> m_pendingOutgoingCommits;
    TokenUsageSnapshot m_tokenUsageSnapshot;
    qint64 m_negotiatedProtocolVersion = initialProtocolVersion;
    QSet<QString> m_overlappingRepositoryIDs;
    std::optional<QByteArray> m_lastSentStateDigest;

    quint64 m_loopGeneration = 0; // raised by every stop: ends the running loop and heartbeat
    TeamCallHandle m_registration;
    QSet<TeamClock::WaitID> m_waits; // pending waits of the current generation
    std::optional<TeamClock::WaitID> m_socketOpeningWait; // while the socket is upgraded

    // Last, so that it goes first: no job outlives what it uses.
    WorkGroup m_work{this};
};

} // namespace tolvaran
