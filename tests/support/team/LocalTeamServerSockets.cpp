// The team server double's WebSocket side: accepting sockets, the snapshots and frames it
// sends, and what the program's frames change in the stored presence.
#include "support/team/LocalTeamServer.h"

#include "platform/Error.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>

namespace tolvaran::fixtures {

void LocalTeamServer::sendSnapshot(const Socket &socket)
{
    if (!socket.socket)
        return;
    const QByteArray text =
        snapshot(socket.teamId, socket.protocolVersion, socket.deviceId).toJson();
    m_frames.append({socket.teamId, socket.deviceId, true, text});
    socket.socket->sendTextMessage(QString::fromUtf8(text));
}

void LocalTeamServer::sendSnapshots(const QString &teamId)
{
    const QList<Socket> sockets = m_sockets; // a failing send may end a socket meanwhile
    for (const Socket &socket : sockets) {
        if (socket.teamId == teamId)
            sendSnapshot(socket);
    }
}

void LocalTeamServer::sendFrame(const QString &teamId, const QByteArray &text)
{
    const QList<Socket> sockets = m_sockets;
    for (const Socket &socket : sockets) {
        if (socket.teamId == teamId && socket.socket) {
            m_frames.append({teamId, socket.deviceId, true, text});
            socket.socket->sendTextMessage(QString::fromUtf8(text));
        }
    }
}

void LocalTeamServer::closeSockets(const QString &teamId, QWebSocketProtocol::CloseCode code,
                                   const QString &reason)
{
    const QList<Socket> sockets = m_sockets;
    for (const Socket &socket : sockets) {
        if (socket.teamId == teamId && socket.socket)
            socket.socket->close(code, reason);
    }
}

int LocalTeamServer::openSocketCount(const QString &teamId) const
{
    int count = 0;
    for (const Socket &socket : m_sockets) {
        if (socket.teamId == teamId && socket.socket
            && socket.socket->state() == QAbstractSocket::ConnectedState) {
            ++count;
        }
    }
    return count;
}

// The device's stored presence shows it disconnected once its last socket is gone.
void LocalTeamServer::socketEnded(QWebSocket *socket)
{
    QString teamId, deviceId;
    for (const Socket &s : std::as_const(m_sockets)) {
        if (s.socket == socket) {
            teamId = s.teamId;
            deviceId = s.deviceId;
        }
    }
    if (std::any_of(m_sockets.cbegin(), m_sockets.cend(),
                    [socket](const Socket &s) { return s.socket == socket; })) {
        m_closedSockets.append({teamId, deviceId, socket->closeCode()});
    }
    m_sockets.removeIf([socket](const Socket &s) { return s.socket == socket; });
    socket->deleteLater();
    const bool stillConnected = std::any_of(m_sockets.cbegin(), m_sockets.cend(),
                                            [&](const Socket &s) {
                                                return s.teamId == teamId
                                                       && s.deviceId == deviceId;
                                            });
    if (deviceId.isEmpty() || stillConnected || !m_teams.contains(teamId))
        return;
    for (StoredDevicePresence &presence : m_teams[teamId].presences) {
        if (presence.deviceId == deviceId)
            presence.isConnected = false;
    }
}

void LocalTeamServer::receiveFrame(QWebSocket *socket, const QString &text)
{
    Socket *entry = nullptr;
    for (Socket &s : m_sockets) {
        if (s.socket == socket)
            entry = &s;
    }
    if (!entry)
        return;
    const QByteArray bytes = text.toUtf8();
    const auto message = jsonObject(bytes);
    if (message && entry->deviceId.isEmpty())
        entry->deviceId = message->value(QLatin1String("deviceId")).toString();
    m_frames.append({entry->teamId, entry->deviceId, false, bytes});
    Q_EMIT frameReceived();
    if (!message || !m_teams.contains(entry->teamId))
        return;

    Team &t = m_teams[entry->teamId];
    const QString type = message->value(QLatin1String("type")).toString();
    const QString memberName = message->value(QLatin1String("memberName")).toString();
    if (type == QLatin1String("presence.update") || type == QLatin1String("state.update")) {
        StoredDevicePresence presence;
        presence.type = type;
        presence.protocolVersion = message->value(QLatin1String("protocolVersion")).toInteger();
        presence.deviceId = entry->deviceId;
        presence.memberName = memberName;
        try {
            for (const QJsonValue &project : message->value(QLatin1String("projects")).toArray())
                presence.projects.append(SharedProjectState::fromJson(project.toObject()));
        } catch (const Error &) {
            return; // a malformed state is recorded and otherwise ignored
        }
        presence.serverUpdatedAt = now();
        presence.isConnected = true;
        if (type == QLatin1String("state.update")) {
            QStringList ids;
            for (const QJsonValue &id : message->value(QLatin1String("repositoryIds")).toArray())
                ids.append(id.toString());
            t.repositoryIdsByDevice.insert(entry->deviceId, ids);
        }
        injectPresence(t.id, presence);
    } else if (type == QLatin1String("commit.created")) {
        const QJsonObject commit = message->value(QLatin1String("commit")).toObject();
        TeamCommitEvent event;
        event.id = commit.value(QLatin1String("id")).toString();
        event.deviceId = entry->deviceId;
        event.memberName = memberName;
        event.repositoryId = commit.value(QLatin1String("repositoryId")).toString();
        event.repositoryName = commit.value(QLatin1String("repositoryName")).toString();
        if (commit.contains(QLatin1String("branch")))
            event.branch = commit.value(QLatin1String("branch")).toString();
        event.headSha = commit.value(QLatin1String("headSha")).toString();
        event.subject = commit.value(QLatin1String("subject")).toString();
        event.committedAt = commit.value(QLatin1String("committedAt")).toInteger();
        event.serverReceivedAt = now();
        injectCommit(t.id, event);
    } else {
        return;
    }
    sendSnapshots(t.id);
}

} // namespace tolvaran::fixtures
