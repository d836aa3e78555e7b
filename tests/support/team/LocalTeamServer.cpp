#include "support/team/LocalTeamServer.h"

#include "platform/Error.h"
#include "support/team/WatchedSecrets.h"
#include "team/server/TeamInstallationRegistration.h"
#include "team/wire/TeamJsonWriter.h"
#include "team/wire/TeamKeyResponse.h"
#include "team/wire/TeamWireError.h"

#include <QAbstractHttpServer>
#include <QDateTime>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QSet>
#include <QTcpSocket>
#include <QTimer>
#include <QUuid>
#include <QWebSocket>

#include <algorithm>

namespace tolvaran::fixtures {

namespace {

constexpr auto refusedSocketCode = QWebSocketProtocol::CloseCode(4401);

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get: return "GET";
    case QHttpServerRequest::Method::Put: return "PUT";
    case QHttpServerRequest::Method::Delete: return "DELETE";
    case QHttpServerRequest::Method::Post: return "POST";
    default: return "OTHER";
    }
}

QByteArray errorBody(const QString &sentence)
{
    TeamJsonWriter writer;
    writer.beginObject();
    writer.stringField(QLatin1String("error"), sentence);
    writer.endObject();
    return writer.bytes();
}

// The same alphabet and length as the program's own keys.
QString randomKey()
{
    static const QByteArray alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    QString key;
    for (int i = 0; i < 43; ++i)
        key.append(QLatin1Char(alphabet.at(QRandomGenerator::global()->bounded(64))));
    return key;
}

} // namespace

qint64 LocalTeamServer::now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

std::optional<QJsonObject> LocalTeamServer::jsonObject(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

class LocalTeamServer::HttpServer final : public QAbstractHttpServer
{
public:
    explicit HttpServer(LocalTeamServer *owner)
        : m_owner(owner)
    {
    }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        // An upgrade request taken without an answer goes on to the WebSocket side, which
        // announces it through newWebSocketConnection.
        if (request.value(QByteArrayLiteral("upgrade")).compare("websocket", Qt::CaseInsensitive)
            == 0) {
            return true;
        }
        auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
        Request copy{methodName(request.method()), request.url().path(),
                     request.url().path(QUrl::FullyEncoded), request.query(),
                     request.headers(), request.body()};
        m_owner->handleRequest(std::move(copy), socket, [responder](Answer answer) {
            const auto status = QHttpServerResponder::StatusCode(answer.status);
            if (!answer.location.isEmpty())
                responder->write(answer.body,
                                 {{QByteArrayLiteral("Content-Type"),
                                   QByteArrayLiteral("application/json")},
                                  {QByteArrayLiteral("Location"), answer.location}},
                                 status);
            else if (answer.body.isEmpty())
                responder->write(status);
            else
                responder->write(answer.body, QByteArrayLiteral("application/json"), status);
        });
        return true;
    }

    void missingHandler(const QHttpServerRequest &, QTcpSocket *) override {}

private:
    LocalTeamServer *m_owner;
};

QByteArray LocalTeamServer::Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

LocalTeamServer::LocalTeamServer(QObject *parent)
    : QObject(parent)
{
}

LocalTeamServer::~LocalTeamServer()
{
    const QList<Socket> sockets = std::exchange(m_sockets, {});
    for (const Socket &socket : sockets) {
        if (socket.socket) {
            socket.socket->disconnect(this);
            socket.socket->abort();
        }
    }
}

bool LocalTeamServer::listen()
{
    m_http = std::make_unique<HttpServer>(this);
    connect(m_http.get(), &QAbstractHttpServer::newWebSocketConnection, this,
            &LocalTeamServer::acceptSocket);
    m_port = m_http->listen(QHostAddress::LocalHost, 0);
    return m_port != 0;
}

QString LocalTeamServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QString LocalTeamServer::createTeam(const QString &name, const QString &key)
{
    Team team;
    team.id = QStringLiteral("team-%1").arg(m_teams.size() + 1);
    team.name = name;
    team.key = key.isEmpty() ? randomKey() : key;
    watchSecret(team.key);
    m_teams.insert(team.id, team);
    return team.id;
}

QString LocalTeamServer::registerDevice(const QString &teamId, const QString &deviceId,
                                        const QString &memberName, TeamInstallationRole role)
{
    Team &t = team(teamId);
    const QString credential = randomKey();
    watchSecret(credential);
    t.installations.append(
        TeamInstallation{deviceId, memberName, role, now(), now(), QStringLiteral("26.8.70")});
    t.credentials.insert(deviceId, credential);
    return credential;
}

LocalTeamServer::Team &LocalTeamServer::team(const QString &teamId)
{
    Q_ASSERT(m_teams.contains(teamId));
    return m_teams[teamId];
}

bool LocalTeamServer::hasTeam(const QString &teamId) const
{
    return m_teams.contains(teamId);
}

void LocalTeamServer::injectPresence(const QString &teamId, const StoredDevicePresence &presence)
{
    Team &t = team(teamId);
    for (StoredDevicePresence &stored : t.presences) {
        if (stored.deviceId == presence.deviceId) {
            stored = presence;
            return;
        }
    }
    t.presences.append(presence);
}

void LocalTeamServer::injectCommit(const QString &teamId, const TeamCommitEvent &commit)
{
    team(teamId).commits.prepend(commit);
}

QStringList LocalTeamServer::overlap(const Team &team) const
{
    if (team.overlapOverride)
        return *team.overlapOverride;
    QHash<QString, int> devicesById;
    for (const QStringList &ids : team.repositoryIdsByDevice) {
        for (const QString &id : QSet<QString>(ids.cbegin(), ids.cend()))
            ++devicesById[id];
    }
    QStringList shared;
    for (auto it = devicesById.cbegin(); it != devicesById.cend(); ++it) {
        if (it.value() > 1)
            shared.append(it.key());
    }
    shared.sort();
    return shared;
}

TeamSnapshot LocalTeamServer::snapshot(const QString &teamId, qint64 protocolVersion,
                                       const QString &deviceId) const
{
    const Team &t = m_teams[teamId];
    TeamSnapshot snapshot;
    snapshot.type = QStringLiteral("team.snapshot");
    snapshot.protocolVersion = protocolVersion;
    snapshot.generatedAt = now();
    snapshot.team = TeamMetadata{t.name};
    snapshot.members = t.presences;
    snapshot.recentCommits = t.commits;
    TeamSecurityStatus security;
    security.legacyKeyEnabled = t.legacyKeyEnabled;
    security.installations = t.installations;
    security.unregisteredRecentMembers = t.unregisteredRecentMembers;
    for (const TeamInstallation &installation : t.installations) {
        if (installation.deviceId == deviceId)
            security.currentDeviceRole = installation.role;
    }
    snapshot.security = security;
    if (protocolVersion == 2)
        snapshot.overlappingRepositoryIds = overlap(t);
    return snapshot;
}

void LocalTeamServer::failNext(const QByteArray &method, const QString &path, int status,
                               const QByteArray &body, int times)
{
    m_faults.insert(method + ' ' + path.toUtf8(),
                    Fault{Fault::Kind::status, status, body, {}, times});
}

void LocalTeamServer::delayNext(const QByteArray &method, const QString &path,
                                std::chrono::milliseconds delay, int times)
{
    m_faults.insert(method + ' ' + path.toUtf8(), Fault{Fault::Kind::delay, 0, {}, delay, times});
}

void LocalTeamServer::dropNext(const QByteArray &method, const QString &path, int times)
{
    m_faults.insert(method + ' ' + path.toUtf8(), Fault{Fault::Kind::drop, 0, {}, {}, times});
}

void LocalTeamServer::redirectNext(const QByteArray &method, const QString &path, int status,
                                   const QString &location)
{
    m_faults.insert(method + ' ' + path.toUtf8(),
                    Fault{Fault::Kind::redirect, status, location.toUtf8(), {}, 1});
}

void LocalTeamServer::cutNext(const QByteArray &method, const QString &path,
                              const QByteArray &body)
{
    m_faults.insert(method + ' ' + path.toUtf8(),
                    Fault{Fault::Kind::cut, 200,
                          body.isEmpty() ? errorBody(QStringLiteral("An answer cut short."))
                                         : body,
                          {}, 1});
}

void LocalTeamServer::clearFaults()
{
    m_faults.clear();
}

void LocalTeamServer::setRefuseSockets(bool refuse)
{
    m_refuseSockets = refuse;
}

void LocalTeamServer::setFirstSnapshotDelay(std::chrono::milliseconds delay)
{
    m_firstSnapshotDelay = delay;
}

int LocalTeamServer::requestCount(const QByteArray &method, const QString &path) const
{
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(), [&](const Request &request) {
        return request.method == method && request.path == path;
    }));
}

QList<LocalTeamServer::Frame> LocalTeamServer::framesFromClients() const
{
    QList<Frame> frames;
    for (const Frame &frame : m_frames) {
        if (!frame.fromServer)
            frames.append(frame);
    }
    return frames;
}

std::optional<LocalTeamServer::Caller> LocalTeamServer::authorize(const QByteArray &header) const
{
    const QString value = QString::fromUtf8(header);
    if (value.startsWith(QLatin1String("Bearer "))) {
        const QString key = value.mid(7);
        for (const Team &t : m_teams) {
            if (t.key == key)
                return Caller{t.id, {}, true};
        }
        return std::nullopt;
    }
    if (value.startsWith(QLatin1String("Device "))) {
        const QStringList parts = value.mid(7).split(QLatin1Char('.'));
        if (parts.size() != 3 || !m_teams.contains(parts[0]))
            return std::nullopt;
        const Team &t = m_teams[parts[0]];
        if (t.credentials.value(parts[1]) != parts[2] || parts[2].isEmpty())
            return std::nullopt;
        return Caller{t.id, parts[1], false};
    }
    return std::nullopt;
}

void LocalTeamServer::handleRequest(Request request, QTcpSocket *tcp,
                                    std::function<void(Answer)> respond)
{
    m_requests.append(request);
    Q_EMIT requestReceived();
    const auto fault = m_faults.find(request.method + ' ' + request.path.toUtf8());
    if (fault == m_faults.end()) {
        respond(route(request));
        return;
    }
    const Fault taken = fault.value();
    if (--fault->times <= 0)
        m_faults.erase(fault);
    switch (taken.kind) {
    case Fault::Kind::status:
        respond(Answer{taken.status, taken.body});
        return;
    case Fault::Kind::drop:
        tcp->abort();
        return;
    case Fault::Kind::redirect:
        respond(Answer{taken.status, {}, taken.body});
        return;
    case Fault::Kind::cut:
        tcp->write("HTTP/1.1 " + QByteArray::number(taken.status)
                   + " OK\r\nContent-Type: application/json\r\nContent-Length: "
                   + QByteArray::number(taken.body.size()) + "\r\nConnection: close\r\n\r\n"
                   + taken.body.left(taken.body.size() / 2));
        tcp->disconnectFromHost();
        return;
    case Fault::Kind::delay: {
        const Answer answer = route(request);
        QTimer::singleShot(taken.delay, this,
                           [socket = QPointer<QTcpSocket>(tcp), respond, answer] {
                               if (socket && socket->state() == QAbstractSocket::ConnectedState)
                                   respond(answer);
                           });
        return;
    }
    }
}

QString LocalTeamServer::rotateKey(Team &team)
{
    team.key = randomKey();
    watchSecret(team.key);
    return team.key;
}

LocalTeamServer::Answer LocalTeamServer::route(const Request &request)
{
    const auto fail = [](int status, const char *sentence) {
        return Answer{status, errorBody(QString::fromUtf8(sentence))};
    };
    const auto keyAnswer = [](const QString &key) {
        return Answer{200, TeamKeyResponse{key}.toJson()};
    };
    const QString &path = request.path;
    const QByteArray &method = request.method;
    if (!path.startsWith(QLatin1String("/v1/team")))
        return fail(404, "Not found.");

    const auto caller = authorize(request.header("Authorization"));
    if (!caller) {
        if (request.header("Authorization").startsWith("Bearer "))
            return fail(404, "That team key is not known.");
        return fail(401, "This device is not registered with the team.");
    }
    Team &t = m_teams[caller->teamId];
    const auto role = [&t](const QString &deviceId) -> std::optional<TeamInstallationRole> {
        for (const TeamInstallation &installation : t.installations) {
            if (installation.deviceId == deviceId)
                return installation.role;
        }
        return std::nullopt;
    };
    const bool isOwner = !caller->byKey && role(caller->deviceId) == TeamInstallationRole::owner;
    const bool isAdmin = isOwner
                         || (!caller->byKey
                             && role(caller->deviceId) == TeamInstallationRole::admin);

    if (method == "GET" && path == QLatin1String("/v1/team/snapshot")) {
        const qint64 version =
            request.query.queryItemValue(QStringLiteral("protocolVersion")) == QLatin1String("2")
                ? 2
                : 1;
        return Answer{200, snapshot(t.id, version, caller->deviceId).toJson()};
    }
    if (method == "PUT" && path == QLatin1String("/v1/team")) {
        try {
            t.name = TeamMetadata::fromJson(request.body).name;
        } catch (const TeamWireError &) {
            return fail(400, "The team name is missing.");
        }
        return Answer{200, TeamMetadata{t.name}.toJson()};
    }
    if (method == "DELETE" && path == QLatin1String("/v1/team")) {
        if (caller->byKey && !t.installations.isEmpty())
            return fail(409, "This team has registered devices; its owner must delete it.");
        if (!caller->byKey && !isOwner)
            return fail(403, "Only the team's owner can delete it.");
        closeSockets(t.id, QWebSocketProtocol::CloseCodeGoingAway);
        m_teams.remove(caller->teamId);
        return Answer{204, {}};
    }
    if (method == "POST" && path == QLatin1String("/v1/team/installations/register")) {
        const auto body = jsonObject(request.body);
        if (!caller->byKey || !body)
            return fail(400, "The registration is incomplete.");
        const QString deviceId = body->value(QLatin1String("deviceId")).toString();
        const QString memberName = body->value(QLatin1String("memberName")).toString();
        const QString credential = body->value(QLatin1String("credential")).toString();
        if (deviceId.isEmpty() || credential.isEmpty())
            return fail(400, "The registration is incomplete.");
        watchSecret(credential);
        TeamInstallation installation{deviceId, memberName,
                                      t.installations.isEmpty() ? TeamInstallationRole::owner
                                                                : TeamInstallationRole::member,
                                      now(), now(), std::nullopt};
        if (const QString version = body->value(QLatin1String("appVersion")).toString();
            !version.isEmpty()) {
            installation.appVersion = version;
        }
        bool known = false;
        for (TeamInstallation &existing : t.installations) {
            if (existing.deviceId == deviceId) {
                installation.role = existing.role;
                installation.registeredAt = existing.registeredAt;
                existing = installation;
                known = true;
            }
        }
        if (!known)
            t.installations.append(installation);
        t.credentials.insert(deviceId, credential);
        return Answer{201, TeamInstallationRegistration{t.id, installation}.toJson()};
    }
    if (caller->byKey)
        return fail(401, "This call needs a registered device.");

    const QString installationsPrefix = QStringLiteral("/v1/team/installations/");
    if (method == "DELETE" && path.startsWith(installationsPrefix)) {
        if (!isAdmin)
            return fail(403, "Only owners and admins can remove devices.");
        const QString deviceId = path.mid(installationsPrefix.size());
        const auto removed = t.installations.removeIf(
            [&deviceId](const TeamInstallation &i) { return i.deviceId == deviceId; });
        if (removed == 0)
            return fail(404, "That device is not registered.");
        t.credentials.remove(deviceId);
        return keyAnswer(rotateKey(t));
    }
    if (method == "PUT" && path.startsWith(installationsPrefix)
        && path.endsWith(QLatin1String("/role"))) {
        if (!isAdmin)
            return fail(403, "Only owners and admins can change roles.");
        const QString deviceId =
            path.mid(installationsPrefix.size(), path.size() - installationsPrefix.size() - 5);
        const auto body = jsonObject(request.body);
        const auto newRole = teamInstallationRoleFromRawValue(
            body ? body->value(QLatin1String("role")).toString() : QString());
        if (!newRole || *newRole == TeamInstallationRole::owner)
            return fail(400, "That role cannot be given.");
        for (TeamInstallation &installation : t.installations) {
            if (installation.deviceId == deviceId) {
                installation.role = *newRole;
                return Answer{204, {}};
            }
        }
        return fail(404, "That device is not registered.");
    }
    if (method == "POST" && path == QLatin1String("/v1/team/ownership/transfer")) {
        if (!isOwner)
            return fail(403, "Only the owner can hand over ownership.");
        const auto body = jsonObject(request.body);
        const QString target =
            body ? body->value(QLatin1String("deviceId")).toString() : QString();
        if (!role(target))
            return fail(404, "That device is not registered.");
        for (TeamInstallation &installation : t.installations) {
            if (installation.deviceId == target)
                installation.role = TeamInstallationRole::owner;
            else if (installation.deviceId == caller->deviceId)
                installation.role = TeamInstallationRole::admin;
        }
        return Answer{204, {}};
    }
    if (method == "POST" && path == QLatin1String("/v1/team/security/complete")) {
        if (!isAdmin)
            return fail(403, "Only owners and admins can complete the upgrade.");
        t.legacyKeyEnabled = false;
        return keyAnswer(rotateKey(t));
    }
    if (method == "POST" && path == QLatin1String("/v1/team/invite/rotate")) {
        if (!isAdmin)
            return fail(403, "Only owners and admins can rotate the key.");
        return keyAnswer(rotateKey(t));
    }
    if (method == "DELETE" && path == QLatin1String("/v1/team/membership")) {
        t.installations.removeIf(
            [&caller](const TeamInstallation &i) { return i.deviceId == caller->deviceId; });
        t.credentials.remove(caller->deviceId);
        t.presences.removeIf([&caller](const StoredDevicePresence &p) {
            return p.deviceId == caller->deviceId;
        });
        return Answer{204, {}};
    }
    return fail(404, "Not found.");
}

void LocalTeamServer::acceptSocket()
{
    while (m_http->hasPendingWebSocketConnections()) {
        QWebSocket *socket = m_http->nextPendingWebSocketConnection().release();
        socket->setParent(this);
        const QNetworkRequest request = socket->request();
        const auto caller = authorize(request.rawHeader("Authorization"));
        if (m_refuseSockets || !caller
            || request.url().path() != QLatin1String("/v1/team/socket")) {
            socket->close(refusedSocketCode, QStringLiteral("unauthorized"));
            socket->deleteLater();
            continue;
        }
        Socket entry{socket, caller->teamId, caller->deviceId,
                     QUrlQuery(request.url()).queryItemValue(QStringLiteral("protocolVersion"))
                             == QLatin1String("2")
                         ? 2
                         : 1};
        m_sockets.append(entry);
        ++m_acceptedSocketCount;
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &text) { receiveFrame(socket, text); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            socketEnded(socket);
        });
        QTimer::singleShot(m_firstSnapshotDelay, this, [this, socket] {
            const QList<Socket> sockets = m_sockets;
            for (const Socket &s : sockets) {
                if (s.socket == socket)
                    sendSnapshot(s);
            }
        });
    }
}

} // namespace tolvaran::fixtures
