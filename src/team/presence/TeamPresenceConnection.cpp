#include "team/presence/TeamPresenceConnection.h"

#include "team/wire/PresenceUpdate.h"
#include "team/wire/PrivateCommitCreatedMessage.h"
#include "team/wire/PrivateStateUpdate.h"
#include "team/TeamLogging.h"
#include "team/presence/TeamPresenceRules.h"
#include "team/server/TeamServerRequests.h"
#include "team/server/TeamSettingsStore.h"
#include "team/server/TeamTransportError.h"
#include "team/wire/TeamWireLimits.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <cmath>

namespace tolvaran {

using namespace std::chrono_literals;

namespace {

constexpr auto snapshotType = QLatin1StringView("team.snapshot");
constexpr auto goingAway = QWebSocketProtocol::CloseCodeGoingAway;

// How long a closed socket may wait for the server to answer its close.
constexpr std::chrono::seconds closeGracePeriod{5};

const QString invalidSettingsText = QStringLiteral("Invalid team server settings");
const QString sendFailedText = QStringLiteral("The team message could not be sent.");
const QString connectionClosedText = QStringLiteral("The team connection was closed.");

double systemJitter()
{
    using P = TeamPresenceConnection;
    return P::minimumJitter
           + QRandomGenerator::system()->generateDouble() * (P::maximumJitter - P::minimumJitter);
}

// A registration refused by the server or by this computer's settings (a bad or short key, a
// device the team does not know) will fail the same way until the user acts: the user is
// shown why. Only a failed transport is worth quietly trying again.
bool isPermanent(const TeamCallError &error)
{
    return error.transportError() == nullptr;
}

} // namespace

std::chrono::milliseconds TeamPresenceConnection::backoffDelay(qint64 failures, double jitter)
{
    const qint64 doublings = std::clamp<qint64>(failures - 1, 0, maximumBackoffDoublings);
    const double base = std::min(double(firstBackoffDelay.count()) * double(1LL << doublings),
                                 double(maximumBackoffDelay.count()));
    const double seconds = std::clamp(base * jitter, double(minimumBackoffDelay.count()),
                                      double(maximumBackoffDelay.count()));
    return std::chrono::milliseconds(std::llround(seconds * 1000.0));
}

TeamPresenceConnection::TeamPresenceConnection(TeamSettingsStore &settings,
                                               const Content &content, TeamClock &clock,
                                               JitterSource jitter, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_content(content)
    , m_clock(clock)
    , m_jitter(jitter ? std::move(jitter) : JitterSource(&systemJitter))
    , m_client(settings)
{
    connect(&m_client, &TeamServerClient::securitySnapshotRefreshed, this,
            [this](const TeamSnapshot &snapshot) {
                m_latestSnapshot = snapshot;
                setSecurityStatus(snapshot.security);
                Q_EMIT snapshotReceived(snapshot);
                Q_EMIT snapshotAccepted(snapshot);
            });
}

TeamPresenceConnection::~TeamPresenceConnection()
{
    // A released connection leaves no socket behind, unlike quitting (which closes nothing).
    stop();
}

void TeamPresenceConnection::start()
{
    if (!m_settings.isEnabled() || !m_settings.authorizationHeader()) {
        setConnectionState(TeamConnectionState::disabled());
        return;
    }
    const quint64 generation = m_loopGeneration;
    registrationStep(generation);
    heartbeat(generation);
}

void TeamPresenceConnection::stop()
{
    ++m_loopGeneration;
    m_registration.cancel();
    m_registration = {};
    for (const TeamClock::WaitID id : std::as_const(m_waits))
        m_clock.cancel(id);
    m_waits.clear();
    m_socketOpeningWait.reset();
    m_livenessWait.reset();
    m_awaitedPong.clear();
    closeSocket(m_socket);
    m_socket = nullptr;
    m_isSocketReady = false;
    m_lastSentStateDigest.reset();
    m_socketConnectedAt.reset();
    m_consecutiveConnectionFailures = 0;
    m_registrationFailures = 0;
}

void TeamPresenceConnection::forgetServer()
{
    m_latestSnapshot.reset();
    setSecurityStatus(std::nullopt);
    m_pendingOutgoingCommits.clear();
    m_negotiatedProtocolVersion = initialProtocolVersion;
    m_overlappingRepositoryIDs.clear();
}

void TeamPresenceConnection::setConnectionState(const TeamConnectionState &state)
{
    if (m_connectionState.state == state.state && m_connectionState.message == state.message)
        return;
    m_connectionState = state;
    Q_EMIT connectionStateChanged(m_connectionState);
}

void TeamPresenceConnection::setSecurityStatus(const std::optional<TeamSecurityStatus> &status)
{
    if (m_securityStatus == status)
        return;
    m_securityStatus = status;
    Q_EMIT securityStatusChanged();
}

TeamClock::WaitID TeamPresenceConnection::scheduleWait(std::chrono::milliseconds delay,
                                                       std::function<void()> then)
{
    // The ID is known only once wait() returns, and the clock never fires inside it.
    auto id = std::make_shared<TeamClock::WaitID>(0);
    *id = m_clock.wait(delay, [this, id, then = std::move(then)] {
        m_waits.remove(*id);
        then();
    });
    m_waits.insert(*id);
    return *id;
}

void TeamPresenceConnection::cancelSocketWaits()
{
    for (std::optional<TeamClock::WaitID> *wait : {&m_socketOpeningWait, &m_livenessWait}) {
        if (!*wait)
            continue;
        m_clock.cancel(**wait);
        m_waits.remove(**wait);
        wait->reset();
    }
    m_awaitedPong.clear();
}

// Registration ------------------------------------------------------------------------------

void TeamPresenceConnection::registrationStep(quint64 generation)
{
    if (!isCurrent(generation))
        return;
    if (!m_settings.isEnabled())
        return;
    if (m_settings.hasRegistration()) {
        openSocket(generation);
        return;
    }
    m_registration = m_client.ensureInstallationIdentity(
        this, [this, generation](const TeamCallCompletion &result) {
            if (!isCurrent(generation))
                return;
            m_registration = {};
            if (result) {
                m_registrationFailures = 0;
                registrationStep(generation);
                return;
            }
            if (result.error().isCancelled())
                return;
            // Backs off as the socket does: a refused key asked for once a second would
            // hammer the server for as long as the program runs.
            ++m_registrationFailures;
            setConnectionState(isPermanent(result.error())
                                   ? TeamConnectionState::failed(result.error().message())
                                   : TeamConnectionState::connecting());
            const auto delay = backoffDelay(m_registrationFailures, m_jitter());
            qCInfo(lcTeam, "Retrying team registration in %f seconds",
                   std::chrono::duration<double>(delay).count());
            scheduleWait(delay, [this, generation] { registrationStep(generation); });
        });
}

// The socket --------------------------------------------------------------------------------

void TeamPresenceConnection::openSocket(quint64 generation)
{
    if (!isCurrent(generation))
        return;
    if (!m_settings.isEnabled())
        return;
    const std::optional<QNetworkRequest> request = socketRequest(m_settings);
    if (!request) {
        qCWarning(lcTeam, "Team socket settings are invalid");
        setConnectionState(TeamConnectionState::failed(invalidSettingsText));
        return;
    }
    setConnectionState(TeamConnectionState::connecting());

    auto *socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    // Refused as it arrives, so an oversized message is never held in memory.
    socket->setMaxAllowedIncomingMessageSize(TeamWireLimits::maxMessageBytes);
    socket->setMaxAllowedIncomingFrameSize(TeamWireLimits::maxMessageBytes);
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this, generation, socket](const QString &text) {
                receiveMessage(generation, socket, text.toUtf8());
            });
    connect(socket, &QWebSocket::binaryMessageReceived, this,
            [this, generation, socket](const QByteArray &bytes) {
                receiveMessage(generation, socket, bytes);
            });
    connect(socket, &QWebSocket::disconnected, this, [this, generation, socket] {
        socketEnded(generation, socket,
                    socket->error() == QAbstractSocket::UnknownSocketError
                        ? connectionClosedText
                        : socket->errorString(),
                    true);
    });
    connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this, generation, socket] {
                socketEnded(generation, socket, socket->errorString(), true);
            });
    connect(socket, &QWebSocket::pong, this,
            [this, generation, socket](quint64, const QByteArray &payload) {
                pongReceived(generation, socket, payload);
            });
    m_socket = socket;
    m_isSocketReady = false;
    m_lastSentStateDigest.reset();
    m_socketConnectedAt.reset();
    // QWebSocket gives the upgrade no time limit of its own, and a server (or a proxy in front
    // of one that is down) may answer the upgrade and then send nothing: the limit runs until
    // the first snapshot, whatever arrives before it.
    m_socketOpeningWait = scheduleWait(socketOpeningTimeout, [this, generation, socket] {
        m_socketOpeningWait.reset();
        socketEnded(generation, socket, errorMessage(TeamTransportErrorKind::timedOut), false);
    });
    socket->open(*request);
}

void TeamPresenceConnection::receiveMessage(quint64 generation, QWebSocket *socket,
                                         const QByteArray &bytes)
{
    if (!isCurrent(generation) || socket != m_socket)
        return;
    TeamSnapshot snapshot;
    try {
        snapshot = TeamSnapshot::fromJson(bytes);
    } catch (const TeamWireError &error) {
        socketEnded(generation, socket, error.message(), false);
        return;
    }
    if (snapshot.type != snapshotType
        || (snapshot.protocolVersion != initialProtocolVersion
            && snapshot.protocolVersion != privateProtocolVersion)) {
        return; // a message of another kind or version: the socket stays open
    }

    const QSet<QString> previousOverlap = m_overlappingRepositoryIDs;
    m_negotiatedProtocolVersion = snapshot.protocolVersion;
    const QStringList overlap = snapshot.overlappingRepositoryIds.value_or(QStringList());
    m_overlappingRepositoryIDs = QSet<QString>(overlap.cbegin(), overlap.cend());
    m_latestSnapshot = snapshot;
    setSecurityStatus(snapshot.security);
    if (snapshot.security && snapshot.security->currentDeviceRole)
        m_settings.updateInstallationRole(snapshot.security->currentDeviceRole);

    // Before the presence message below, which carries the activity.
    Q_EMIT snapshotReceived(snapshot);
    const bool wasReady = m_isSocketReady;
    m_isSocketReady = true;
    if (!wasReady) {
        m_socketConnectedAt = m_clock.now();
        qCInfo(lcTeam, "Team socket connected");
        cancelSocketWaits();
        schedulePing(generation, socket);
    }
    if (m_connectionState.state != TeamConnectionState::Case::connected)
        setConnectionState(TeamConnectionState::connected());

    Q_EMIT snapshotAccepted(snapshot);
    if (!isCurrent(generation) || socket != m_socket)
        return; // a receiver stopped the loop (it reconfigured the team)
    if (!wasReady || m_overlappingRepositoryIDs != previousOverlap)
        sendPresence(false);
}

void TeamPresenceConnection::socketEnded(quint64 generation, QWebSocket *socket,
                                      const QString &error, bool connectionLost)
{
    // A socket reports its end more than once (an error, then the disconnection), and an
    // older loop's socket may end after a newer loop stored its own: only the current
    // socket's first report counts, and only it may clear the shared fields.
    if (!isCurrent(generation) || socket != m_socket)
        return;
    cancelSocketWaits();
    const TeamClock::Duration now = m_clock.now();
    if (m_socketConnectedAt && now - *m_socketConnectedAt >= stableConnectionDuration)
        m_consecutiveConnectionFailures = 1;
    else
        ++m_consecutiveConnectionFailures;

    // A socket this side is about to close has no close code yet.
    const long closeCode = connectionLost ? long(socket->closeCode()) : 0;
    const QString reason = !connectionLost || socket->closeReason().isEmpty()
                               ? QStringLiteral("none")
                               : socket->closeReason();
    qCWarning(lcTeam, "Team socket receive failed: %s; closeCode=%ld; closeReason=%s",
              qUtf8Printable(error), closeCode, qUtf8Printable(reason));
    setConnectionState(TeamConnectionState::reconnecting(error));

    closeSocket(socket, !connectionLost);
    m_socket = nullptr;
    m_isSocketReady = false;
    m_socketConnectedAt.reset();

    const auto delay = backoffDelay(m_consecutiveConnectionFailures, m_jitter());
    qCInfo(lcTeam, "Retrying team socket in %f seconds",
           std::chrono::duration<double>(delay).count());
    scheduleWait(delay, [this, generation] { openSocket(generation); });
}

void TeamPresenceConnection::closeSocket(QWebSocket *socket, bool isOpen)
{
    if (!socket)
        return;
    socket->disconnect(this);
    socket->setParent(nullptr); // children of the connection are only its live socket
    if (!isOpen || socket->state() != QAbstractSocket::ConnectedState) {
        // Still opening, or already ended: there is no open connection to say goodbye on.
        // Queued, because this may run inside one of the socket's own signals.
        QMetaObject::invokeMethod(socket, &QWebSocket::abort, Qt::QueuedConnection);
        socket->deleteLater();
        return;
    }
    // The socket outlives the connection (a released one still says goodbye): it goes once
    // the close has gone out, or after a grace period when the peer never answers it.
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(closeGracePeriod, socket, &QObject::deleteLater);
    socket->close(goingAway);
}

// The link's liveness: a socket may stay open while nothing crosses it any more (a half-open
// connection, a proxy whose backend went away). Only the server's answer to a ping tells.

void TeamPresenceConnection::schedulePing(quint64 generation, QWebSocket *socket)
{
    m_livenessWait = scheduleWait(pingInterval, [this, generation, socket] {
        m_livenessWait.reset();
        ping(generation, socket);
    });
}

void TeamPresenceConnection::ping(quint64 generation, QWebSocket *socket)
{
    if (!isCurrent(generation) || socket != m_socket)
        return;
    // Numbered, so that only the answer to this ping counts (never an unasked pong).
    m_awaitedPong = QByteArray::number(++m_pingsSent);
    m_livenessWait = scheduleWait(pongDeadline, [this, generation, socket] {
        m_livenessWait.reset();
        socketEnded(generation, socket, errorMessage(TeamTransportErrorKind::timedOut), false);
    });
    socket->ping(m_awaitedPong);
}

void TeamPresenceConnection::pongReceived(quint64 generation, QWebSocket *socket,
                                          const QByteArray &payload)
{
    if (!isCurrent(generation) || socket != m_socket || m_awaitedPong.isEmpty()
        || payload != m_awaitedPong)
        return;
    cancelSocketWaits();
    schedulePing(generation, socket);
}

// Heartbeat and sending ---------------------------------------------------------------------

void TeamPresenceConnection::heartbeat(quint64 generation)
{
    if (!isCurrent(generation))
        return;
    sendPresence(true);
    if (!isCurrent(generation))
        return;
    scheduleWait(heartbeatInterval, [this, generation] { heartbeat(generation); });
}

QByteArray TeamPresenceConnection::encodeStateMessage(qint64 protocolVersion) const
{
    const QHash<QString, SharedProjectState> &activity = m_content.localActivityByPath();
    const TokenUsageSnapshot &usage = m_content.tokenUsageSnapshot();
    if (protocolVersion != privateProtocolVersion) {
        PresenceUpdate message{m_settings.deviceID(), m_settings.memberName(), {}};
        for (auto it = activity.cbegin(); it != activity.cend(); ++it) {
            message.projects.append(
                TeamPresenceRules::withUsage(it.value(), usage, it.key()));
        }
        TeamPresenceRules::sortForPresence(message.projects);
        return message.toJson();
    }
    const std::optional<QString> teamID = m_settings.teamID();
    PrivateStateUpdate message{m_settings.deviceID(), m_settings.memberName(), {}, {}};
    if (!m_overlappingRepositoryIDs.isEmpty()) {
        for (auto it = activity.cbegin(); it != activity.cend(); ++it) {
            const QString wireID = TeamPresenceRules::wireRepositoryID(teamID,
                                                                      it->repositoryId);
            if (!m_overlappingRepositoryIDs.contains(wireID))
                continue;
            SharedProjectState state =
                TeamPresenceRules::withUsage(it.value(), usage, it.key());
            state.repositoryId = wireID;
            message.projects.append(std::move(state));
        }
    }
    TeamPresenceRules::sortForPresence(message.projects);
    QStringList ids =
        TeamPresenceRules::wireRepositoryIDs(teamID, m_content.repositoryInventoryByPath());
    std::sort(ids.begin(), ids.end(), [](const QString &a, const QString &b) {
        return TeamPresenceRules::comparePlainText(a, b) < 0;
    });
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    message.repositoryIds = ids;
    return message.toJson();
}

void TeamPresenceConnection::sendPresence(bool forceLease)
{
    if (!m_settings.isEnabled() || !m_isSocketReady || !m_socket)
        return;
    QWebSocket *const socket = m_socket;

    QByteArray state;
    try {
        state = encodeStateMessage(m_negotiatedProtocolVersion);
    } catch (const TeamWireError &error) {
        // Nothing on the socket is wrong: closing it would only repeat the failure after the
        // back-off. The commits wait for the next run.
        qCWarning(lcTeam, "Team presence send failed: %s", error.what());
        return;
    }
    const QByteArray digest = QCryptographicHash::hash(state, QCryptographicHash::Sha256);
    if (forceLease || m_lastSentStateDigest != digest) {
        if (!sendFrame(socket, state))
            return;
        m_lastSentStateDigest = digest;
    }

    while (!m_pendingOutgoingCommits.isEmpty()) {
        const CommitCreatedMessage &queued = m_pendingOutgoingCommits.constFirst();
        QByteArray bytes;
        try {
            if (m_negotiatedProtocolVersion != privateProtocolVersion) {
                bytes = queued.toJson();
            } else {
                const QString wireID = TeamPresenceRules::wireRepositoryID(
                    m_settings.teamID(), queued.commit.repositoryId);
                if (!m_overlappingRepositoryIDs.contains(wireID)) {
                    m_pendingOutgoingCommits.removeFirst();
                    continue;
                }
                bytes = PrivateCommitCreatedMessage::fromQueued(queued, wireID).toJson();
            }
        } catch (const TeamWireError &error) {
            qCWarning(lcTeam, "Team presence send failed: %s", error.what());
            return;
        }
        if (!sendFrame(socket, bytes))
            return;
        m_pendingOutgoingCommits.removeFirst();
    }
}

bool TeamPresenceConnection::sendFrame(QWebSocket *socket, const QByteArray &bytes)
{
    // The frame goes into the socket's buffer at once; there is no later completion to wait
    // for, so one run never interleaves with another and a commit is never sent twice.
    const qint64 written = socket->state() == QAbstractSocket::ConnectedState
                               ? socket->sendTextMessage(QString::fromUtf8(bytes))
                               : -1;
    if (written >= 0 && written >= bytes.size())
        return true;
    sendFailed(socket, socket->errorString().isEmpty() ? sendFailedText
                                                       : socket->errorString());
    return false;
}

void TeamPresenceConnection::sendFailed(QWebSocket *socket, const QString &error)
{
    qCWarning(lcTeam, "Team presence send failed: %s", qUtf8Printable(error));
    setConnectionState(TeamConnectionState::reconnecting(error));
    if (socket != m_socket)
        return; // a newer socket has replaced it and stays as it is
    m_isSocketReady = false;
    // Ends the socket as a failed receive would, so the loop reconnects after its back-off.
    socketEnded(m_loopGeneration, socket, error, false);
}

void TeamPresenceConnection::queueOutgoingCommit(const CommitCreatedMessage &commit)
{
    m_pendingOutgoingCommits.append(commit);
}

} // namespace tolvaran
