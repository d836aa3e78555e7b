#include "support/team/BareTeamSocketServer.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QTcpSocket>
#include <QtEndian>

#include <utility>

namespace tolvaran::fixtures {

namespace {

const QByteArray headEnd = QByteArrayLiteral("\r\n\r\n");
// What every WebSocket server appends to the client's key before hashing it.
const QByteArray handshakeGuid = QByteArrayLiteral("258EAFA5-E914-47DA-95CA-C5AB0DC85B11");

enum Opcode : quint8 {
    continuation = 0x0,
    text = 0x1,
    close = 0x8,
    ping = 0x9,
    pong = 0xA,
};

// A final, unmasked frame, as servers send them.
QByteArray frame(quint8 opcode, const QByteArray &payload)
{
    QByteArray bytes;
    bytes.append(char(0x80 | opcode));
    const auto size = quint64(payload.size());
    if (size < 126) {
        bytes.append(char(size));
    } else if (size <= 0xFFFF) {
        bytes.append(char(126));
        char length[2];
        qToBigEndian(quint16(size), length);
        bytes.append(length, 2);
    } else {
        bytes.append(char(127));
        char length[8];
        qToBigEndian(size, length);
        bytes.append(length, 8);
    }
    return bytes + payload;
}

QByteArray headerValue(const QByteArray &head, const QByteArray &name)
{
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

} // namespace

BareTeamSocketServer::BareTeamSocketServer(Opening opening, QByteArray snapshot,
                                           TeamClock &clock)
    : m_opening(opening)
    , m_snapshot(std::move(snapshot))
    , m_clock(clock)
{
    connect(&m_server, &QTcpServer::newConnection, this, &BareTeamSocketServer::accept);
}

BareTeamSocketServer::~BareTeamSocketServer()
{
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (it->trickleWait)
            m_clock.cancel(*it->trickleWait);
        it.key()->disconnect(this);
        it.key()->abort();
    }
}

bool BareTeamSocketServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString BareTeamSocketServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void BareTeamSocketServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        m_connections.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
    }
}

void BareTeamSocketServer::forget(QTcpSocket *socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    if (found->trickleWait)
        m_clock.cancel(*found->trickleWait);
    m_connections.erase(found);
    socket->deleteLater();
}

void BareTeamSocketServer::read(QTcpSocket *socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    found->received += socket->readAll();
    if (!found->upgraded && !upgrade(socket, *found))
        return;
    readFrames(socket, *found);
}

bool BareTeamSocketServer::upgrade(QTcpSocket *socket, Connection &connection)
{
    const qsizetype end = connection.received.indexOf(headEnd);
    if (end < 0)
        return false;
    const QByteArray head = connection.received.left(end);
    connection.received.remove(0, end + headEnd.size());
    const QByteArray key = headerValue(head, "Sec-WebSocket-Key") + handshakeGuid;
    const QByteArray accept = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toBase64();
    socket->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                  "Connection: Upgrade\r\nSec-WebSocket-Accept: "
                  + accept + "\r\n\r\n");
    connection.upgraded = true;
    ++m_upgradedSockets;
    switch (m_opening) {
    case Opening::snapshot: {
        const QByteArray bytes = frame(text, m_snapshot);
        socket->write(bytes);
        m_snapshotBytesSent += bytes.size();
        break;
    }
    case Opening::silence:
        break;
    case Opening::trickledSnapshot:
        connection.trickle = frame(text, m_snapshot);
        connection.trickleWait =
            m_clock.wait(trickleInterval, [this, socket] { trickleNext(socket); });
        break;
    }
    return true;
}

void BareTeamSocketServer::trickleNext(QTcpSocket *socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    found->trickleWait.reset();
    if (found->trickle.isEmpty())
        return;
    socket->write(found->trickle.left(1));
    found->trickle.remove(0, 1);
    ++m_snapshotBytesSent;
    found->trickleWait = m_clock.wait(trickleInterval, [this, socket] { trickleNext(socket); });
}

// Clients mask every frame: 2 bytes, the extended length (0, 2 or 8 bytes), the 4-byte mask,
// the payload.
void BareTeamSocketServer::readFrames(QTcpSocket *socket, Connection &connection)
{
    QByteArray &bytes = connection.received;
    while (bytes.size() >= 2) {
        const auto first = quint8(bytes[0]);
        const auto second = quint8(bytes[1]);
        const quint8 opcode = first & 0x0F;
        const bool isFinal = (first & 0x80) != 0;
        quint64 size = second & 0x7F;
        qsizetype at = 2;
        if (size == 126) {
            if (bytes.size() < at + 2)
                return;
            size = qFromBigEndian<quint16>(bytes.constData() + at);
            at += 2;
        } else if (size == 127) {
            if (bytes.size() < at + 8)
                return;
            size = qFromBigEndian<quint64>(bytes.constData() + at);
            at += 8;
        }
        const bool masked = (second & 0x80) != 0;
        const qsizetype maskAt = at;
        if (masked)
            at += 4;
        if (quint64(bytes.size()) < quint64(at) + size)
            return;
        QByteArray payload = bytes.mid(at, qsizetype(size));
        if (masked) {
            for (qsizetype i = 0; i < payload.size(); ++i)
                payload[i] = char(payload[i] ^ bytes[maskAt + i % 4]);
        }
        bytes.remove(0, at + qsizetype(size));

        switch (opcode) {
        case text:
        case continuation:
            connection.text += payload;
            if (isFinal)
                m_textMessages.append(std::exchange(connection.text, {}));
            break;
        case ping:
            ++m_pingsReceived;
            if (m_answersPings) {
                socket->write(frame(pong, payload));
                ++m_pongsSent;
            }
            break;
        case close:
            socket->write(frame(close, payload.left(2)));
            socket->disconnectFromHost();
            return;
        default:
            break;
        }
    }
}

} // namespace tolvaran::fixtures
