#pragma once

#include "data/git/SharedProjectState.h"
#include "data/token_usage/TokenUsageSnapshot.h"
#include "team/presence/TeamClock.h"
#include "team/server/TeamCallHandle.h"
#include "team/server/TeamServerClient.h"
#include "team/wire/CommitCreatedMessage.h"
#include "team/wire/TeamSnapshot.h"
#include "team_interface/TeamConnectionState.h"

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

class TeamSettingsStore;

// The connection of one team profile to the team server: its REST client and, while the team
// is enabled and has an authorization, one WebSocket to the server.
//
// start() runs the connection loop: it registers the device when it has no installation
// identity yet, then opens the socket (a failed attempt when it has not brought its first
// snapshot within socketOpeningTimeout), accepts the server's snapshots, answers the first one
// of each socket (and every change of the overlapping repositories) with this device's state,
// pings the server to learn that the link still carries anything, and after every drop opens
// a new socket after a jittered back-off (2 s doubling to 60 s). A heartbeat resends the state
// every 60 s; between heartbeats an unchanged state is never sent twice on one socket. What
// the state says of this device is read from its Content at every send.
//
// Every wait runs on the injected TeamClock. Nothing in the constructor touches the network.
// Destroying the connection closes its socket (code 1001). GUI thread only.
class TeamPresenceConnection final : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::seconds heartbeatInterval{60};
    // How long a socket may take to bring its first snapshot, as every team request's time
    // limit: a server that takes the connection, or answers the upgrade, and then sends no
    // snapshot ends the attempt as a failure.
    static constexpr std::chrono::seconds socketOpeningTimeout{60};
    // Once a socket has brought its first snapshot it is pinged pingInterval after the last
    // pong, and a pong that is not back within pongDeadline ends it as a failed receive. What
    // the server sends is no sign of life: nothing answers the state messages, and a healthy
    // team may be quiet for hours.
    static constexpr std::chrono::seconds pingInterval{30};
    static constexpr std::chrono::seconds pongDeadline{30};
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

    // A number drawn uniformly from [minimumJitter, maximumJitter].
    using JitterSource = std::function<double()>;

    // The delay before the next attempt after `failures` consecutive failures, for a jitter
    // factor drawn from [minimumJitter, maximumJitter]: 2, 4, 8, 16, 32, then 60 s, kept
    // within 1 to 60 s after the jitter.
    static std::chrono::milliseconds backoffDelay(qint64 failures, double jitter);

    // What the state message says of this device, read at every send.
    class Content
    {
    public:
        virtual const QHash<QString, SharedProjectState> &localActivityByPath() const = 0;
        // Every repository this device has, whether or not it shows activity (protocol 2).
        virtual QHash<QString, SharedProjectState> repositoryInventoryByPath() const = 0;
        virtual const TokenUsageSnapshot &tokenUsageSnapshot() const = 0;

    protected:
        ~Content() = default;
    };

    // An empty `jitter` draws from the system's random source.
    TeamPresenceConnection(TeamSettingsStore &settings, const Content &content, TeamClock &clock,
                           JitterSource jitter = {}, QObject *parent = nullptr);
    ~TeamPresenceConnection() override;

    // The REST calls of the team.
    TeamServerClient &client() { return m_client; }

    const TeamConnectionState &connectionState() const { return m_connectionState; }
    const std::optional<TeamSecurityStatus> &securityStatus() const { return m_securityStatus; }
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

    // Starts the loop and the heartbeat when the team is enabled and has an authorization;
    // otherwise the state becomes `disabled`. Call stop() first.
    void start();
    // Ends the running loop: the registration and every wait cancelled, the socket closed with
    // code 1001, the failure counts forgotten. The state stays as it was.
    void stop();
    // Forgets what the server said: the latest snapshot, the security status, the protocol and
    // the overlap, and the commits not yet sent.
    void forgetServer();

    // Publishes this device's state on the socket (unless it is what was last sent on this
    // socket and `forceLease` is false), then the queued commits. Does nothing until the
    // socket has accepted its first snapshot. A failed send closes the socket (code 1001) and
    // the loop reconnects; a state that cannot be encoded is logged and the socket stays.
    void sendPresence(bool forceLease);
    void queueOutgoingCommit(const CommitCreatedMessage &commit);

Q_SIGNALS:
    void connectionStateChanged(const tolvaran::TeamConnectionState &state);
    void securityStatusChanged();
    // A snapshot the socket accepted or an administration call fetched, stored in
    // latestSnapshot() with its protocol, overlap and security status. Receivers bring this
    // device's side up to date: the socket is marked connected and may send only after it.
    void snapshotReceived(const tolvaran::TeamSnapshot &snapshot);
    // The same snapshot, once the socket is marked connected: receivers apply it to what they
    // show. A state message the snapshot calls for follows.
    void snapshotAccepted(const tolvaran::TeamSnapshot &snapshot);

private:
    void setConnectionState(const TeamConnectionState &state);
    void setSecurityStatus(const std::optional<TeamSecurityStatus> &status);

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
    // Cancels the current socket's time limit, its next ping or its pong deadline.
    void cancelSocketWaits();
    // The liveness check of a socket that has brought its first snapshot.
    void schedulePing(quint64 generation, QWebSocket *socket);
    void ping(quint64 generation, QWebSocket *socket);
    void pongReceived(quint64 generation, QWebSocket *socket, const QByteArray &payload);
    void heartbeat(quint64 generation);
    bool sendFrame(QWebSocket *socket, const QByteArray &bytes);
    void sendFailed(QWebSocket *socket, const QString &error);
    QByteArray encodeStateMessage(qint64 protocolVersion) const;

    TeamSettingsStore &m_settings;
    const Content &m_content;
    TeamClock &m_clock;
    JitterSource m_jitter;
    TeamServerClient m_client;

    TeamConnectionState m_connectionState = TeamConnectionState::disabled();
    std::optional<TeamSecurityStatus> m_securityStatus;
    std::optional<TeamSnapshot> m_latestSnapshot;
    qint64 m_negotiatedProtocolVersion = initialProtocolVersion;
    QSet<QString> m_overlappingRepositoryIDs;
    QList<CommitCreatedMessage> m_pendingOutgoingCommits;

    QPointer<QWebSocket> m_socket;
    bool m_isSocketReady = false;
    std::optional<TeamClock::Duration> m_socketConnectedAt;
    qint64 m_consecutiveConnectionFailures = 0;
    qint64 m_registrationFailures = 0;
    std::optional<QByteArray> m_lastSentStateDigest;

    quint64 m_loopGeneration = 0; // raised by every stop: ends the running loop and heartbeat
    TeamCallHandle m_registration;
    QSet<TeamClock::WaitID> m_waits; // pending waits of the current generation
    std::optional<TeamClock::WaitID> m_socketOpeningWait; // until the first snapshot
    std::optional<TeamClock::WaitID> m_livenessWait;      // the next ping or the pong deadline
    QByteArray m_awaitedPong; // the payload of the ping not yet answered
    quint64 m_pingsSent = 0;
};

} // namespace tolvaran
