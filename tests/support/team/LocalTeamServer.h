#pragma once

#include "team/wire/TeamSnapshot.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrlQuery>
#include <QWebSocketProtocol>

#include <chrono>
#include <memory>
#include <optional>

class QTcpSocket;
class QWebSocket;

namespace tolvaran::fixtures {

// A test double of the team server, running in the test process on 127.0.0.1 (port 0): the
// REST calls under "/v1/team" and the team socket, written from the same contract as the
// program. Tests create teams, inject presences, snapshots, commits and raw frames, make
// calls fail, wait or drop, and read every request and frame it saw.
//
// Authorization is "Bearer <team key>" or "Device <team id>.<device id>.<credential>". A
// socket gets a snapshot as soon as it opens (of the protocol its "protocolVersion" query asks
// for, else 1); presence, state and commit messages update the team and send every socket of
// the team a new snapshot. Failures answer {"error": sentence}.
class LocalTeamServer final : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method; // "GET", "PUT", ...
        QString path;    // decoded
        QString rawPath; // as sent, percent-encoding kept
        QUrlQuery query;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        QByteArray header(const QByteArray &name) const; // case-insensitive; empty when absent
    };

    struct Frame
    {
        QString teamId;
        QString deviceId; // empty until a key-authorized socket has said who it is
        bool fromServer = false;
        QByteArray text;
    };

    struct Team
    {
        QString id;
        QString name;
        QString key;
        bool legacyKeyEnabled = true;
        QList<TeamInstallation> installations;
        QHash<QString, QString> credentials; // by device id
        QList<StoredDevicePresence> presences;
        QHash<QString, QStringList> repositoryIdsByDevice; // from protocol 2 state messages
        QList<TeamCommitEvent> commits;
        QStringList unregisteredRecentMembers;
        // When set, snapshots report these instead of the ids two devices share.
        std::optional<QStringList> overlapOverride;
    };

    explicit LocalTeamServer(QObject *parent = nullptr);
    ~LocalTeamServer() override;

    // Starts listening; false when no port could be had.
    bool listen();
    // "http://127.0.0.1:<port>", the value for TOLVARAN_SERVER_URL.
    QString baseUrl() const;

    // A new team with `key` (a fresh 43-character key when empty); returns its id.
    QString createTeam(const QString &name, const QString &key = {});
    // Registers a device directly, as the first registration would; returns its credential.
    QString registerDevice(const QString &teamId, const QString &deviceId,
                           const QString &memberName, TeamInstallationRole role);
    Team &team(const QString &teamId);
    bool hasTeam(const QString &teamId) const;

    void injectPresence(const QString &teamId, const StoredDevicePresence &presence);
    void injectCommit(const QString &teamId, const TeamCommitEvent &commit);
    // The snapshot the team's sockets and REST calls get; `deviceId` names the asking device.
    TeamSnapshot snapshot(const QString &teamId, qint64 protocolVersion,
                          const QString &deviceId = {}) const;
    // Sends every open socket of the team its snapshot, or `text` as it is.
    void sendSnapshots(const QString &teamId);
    void sendFrame(const QString &teamId, const QByteArray &text);
    void closeSockets(const QString &teamId,
                      QWebSocketProtocol::CloseCode code = QWebSocketProtocol::CloseCodeNormal,
                      const QString &reason = {});
    int openSocketCount(const QString &teamId) const;

    // The next `times` REST calls of `method` on `path` are answered with `status` and `body`,
    // answered after `delay`, or dropped (the connection closed without an answer; HTTP
    // clients send a dropped request again, so a drop usually wants several times).
    void failNext(const QByteArray &method, const QString &path, int status,
                  const QByteArray &body = {}, int times = 1);
    void delayNext(const QByteArray &method, const QString &path,
                   std::chrono::milliseconds delay, int times = 1);
    void dropNext(const QByteArray &method, const QString &path, int times = 1);
    // The next call is answered with `status` and a "Location" header naming `location`.
    void redirectNext(const QByteArray &method, const QString &path, int status,
                      const QString &location);
    // The next call is answered with status 200, a "Content-Length" of the whole of `body`
    // (an error body when empty), half of it, and then the connection closes. The call does
    // nothing else.
    void cutNext(const QByteArray &method, const QString &path, const QByteArray &body = {});
    void clearFaults();
    // Sockets are closed as soon as they open (code 4401), before any snapshot.
    void setRefuseSockets(bool refuse);
    // The first snapshot of a socket waits this long.
    void setFirstSnapshotDelay(std::chrono::milliseconds delay);

    // How each accepted socket ended, in order: the close code its peer sent (or the code the
    // server closed it with).
    struct ClosedSocket
    {
        QString teamId;
        QString deviceId;
        QWebSocketProtocol::CloseCode code = QWebSocketProtocol::CloseCodeNormal;
    };
    const QList<ClosedSocket> &closedSockets() const { return m_closedSockets; }
    // Sockets accepted so far (refused ones not counted).
    int acceptedSocketCount() const { return m_acceptedSocketCount; }

    const QList<Request> &requests() const { return m_requests; }
    // How many requests so far had this method and (raw) path.
    int requestCount(const QByteArray &method, const QString &path) const;
    const QList<Frame> &frames() const { return m_frames; }
    QList<Frame> framesFromClients() const;

Q_SIGNALS:
    void requestReceived();
    void frameReceived();

private:
    class HttpServer;
    struct Fault
    {
        enum class Kind { status, delay, drop, redirect, cut } kind = Kind::status;
        int status = 0;
        QByteArray body;
        std::chrono::milliseconds delay{0};
        int times = 1;
    };
    struct Caller
    {
        QString teamId;
        QString deviceId; // empty for the team key
        bool byKey = false;
    };
    struct Answer
    {
        Answer(int status_ = 200, QByteArray body_ = {}, QByteArray location_ = {})
            : status(status_)
            , body(std::move(body_))
            , location(std::move(location_))
        {
        }

        int status;
        QByteArray body;
        QByteArray location; // a "Location" header when not empty
    };
    struct Socket
    {
        QPointer<QWebSocket> socket;
        QString teamId;
        QString deviceId;
        qint64 protocolVersion = 1;
    };

    void handleRequest(Request request, QTcpSocket *tcp, std::function<void(Answer)> respond);
    Answer route(const Request &request);
    std::optional<Caller> authorize(const QByteArray &header) const;
    void acceptSocket();
    void receiveFrame(QWebSocket *socket, const QString &text);
    void socketEnded(QWebSocket *socket);
    void sendSnapshot(const Socket &socket);
    QString rotateKey(Team &team);
    QStringList overlap(const Team &team) const;
    static qint64 now();
    static std::optional<QJsonObject> jsonObject(const QByteArray &body);

    std::unique_ptr<HttpServer> m_http;
    QHash<QString, Team> m_teams;
    QList<Socket> m_sockets;
    QHash<QByteArray, Fault> m_faults; // by "METHOD path"
    QList<Request> m_requests;
    QList<Frame> m_frames;
    QList<ClosedSocket> m_closedSockets;
    int m_acceptedSocketCount = 0;
    bool m_refuseSockets = false;
    std::chrono::milliseconds m_firstSnapshotDelay{0};
    quint16 m_port = 0;
};

} // namespace tolvaran::fixtures
