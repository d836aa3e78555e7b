#include "support/network/HostileHttpServer.h"

#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace tolvaran::fixtures {

namespace {

const QByteArray headerEnd = QByteArrayLiteral("\r\n\r\n");
// What the server lets wait in a connection's write buffer before it writes more.
constexpr qint64 writeAhead = 1024 * 1024;
constexpr qint64 pieceBytes = 256 * 1024;

} // namespace

// The server itself, on the server's thread.
class HostileHttpServer::Worker final : public QObject
{
public:
    Worker(Settings settings, QByteArray contentType, QByteArray bodyStart,
           std::shared_ptr<Shared> shared)
        : m_settings(settings)
        , m_contentType(std::move(contentType))
        , m_bodyStart(std::move(bodyStart))
        , m_shared(std::move(shared))
        , m_filler(pieceBytes, 'x')
    {
        connect(&m_server, &QTcpServer::newConnection, this, &Worker::accept);
    }

    ~Worker() override
    {
        for (QTcpSocket *socket : findChildren<QTcpSocket *>()) {
            socket->disconnect(this);
            socket->abort();
        }
    }

    quint16 listen()
    {
        return m_server.listen(QHostAddress::LocalHost, 0) ? m_server.serverPort() : 0;
    }

    void release()
    {
        m_released = true;
        const QList<QPointer<QTcpSocket>> held = std::exchange(m_held, {});
        for (const QPointer<QTcpSocket> &socket : held) {
            if (socket && m_connections.contains(socket))
                answer(socket);
        }
    }

private:
    // Per connection: whether its request was answered, and how much of the body went out.
    struct Connection
    {
        QByteArray header;
        bool answered = false;
        qint64 sent = 0;
    };

    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            ++m_shared->openConnections;
            m_connections.insert(socket, {});
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { pump(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                --m_shared->openConnections;
                m_connections.remove(socket);
                socket->deleteLater();
            });
        }
    }

    void read(QTcpSocket *socket)
    {
        Connection &connection = m_connections[socket];
        const QByteArray arrived = socket->readAll(); // after the request: not looked at
        if (connection.answered)
            return;
        connection.header += arrived;
        const qsizetype end = connection.header.indexOf(headerEnd);
        if (end < 0)
            return;
        connection.answered = true;
        {
            const std::lock_guard lock(m_shared->mutex);
            m_shared->requestLines.append(
                connection.header.left(connection.header.indexOf("\r\n")));
        }
        ++m_shared->requests;
        if (m_settings.answersWhenReleased && !m_released) {
            m_held.append(socket);
            return;
        }
        answer(socket);
    }

    void answer(QTcpSocket *socket)
    {
        const QByteArray status = "HTTP/1.1 200 OK\r\nContent-Type: " + m_contentType
                                  + "\r\n";
        switch (m_settings.behaviour) {
        case Behaviour::silence:
            return;
        case Behaviour::endlessChunkedBody:
            socket->write(status + "Transfer-Encoding: chunked\r\n\r\n");
            if (!m_bodyStart.isEmpty()) {
                socket->write(QByteArray::number(m_bodyStart.size(), 16) + "\r\n"
                              + m_bodyStart + "\r\n");
            }
            pump(socket);
            return;
        case Behaviour::endlessBody:
            socket->write(status + "Connection: close\r\n\r\n" + m_bodyStart);
            pump(socket);
            return;
        case Behaviour::hugeDeclaredBody:
        case Behaviour::trickledBody:
            socket->write(status + "Content-Length: "
                          + QByteArray::number(m_settings.declaredBytes) + "\r\n\r\n"
                          + m_bodyStart);
            m_connections[socket].sent = m_bodyStart.size();
            break;
        }
        if (m_settings.behaviour == Behaviour::hugeDeclaredBody) {
            pump(socket);
            return;
        }
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [this, socket] {
            Connection &connection = m_connections[socket];
            if (connection.sent >= m_settings.declaredBytes)
                return;
            socket->write("x", 1);
            ++connection.sent;
            ++m_shared->bodyBytesSent;
        });
        timer->start(m_settings.trickleInterval);
    }

    void pump(QTcpSocket *socket)
    {
        const auto found = m_connections.find(socket);
        if (found == m_connections.end() || !found->answered
            || socket->state() != QAbstractSocket::ConnectedState) {
            return;
        }
        Connection &connection = *found;
        while (socket->bytesToWrite() < writeAhead) {
            if (m_settings.behaviour == Behaviour::endlessChunkedBody) {
                socket->write(QByteArray::number(pieceBytes, 16) + "\r\n" + m_filler + "\r\n");
                connection.sent += pieceBytes;
                m_shared->bodyBytesSent += pieceBytes;
                continue;
            }
            if (m_settings.behaviour == Behaviour::endlessBody) {
                socket->write(m_filler);
                connection.sent += pieceBytes;
                m_shared->bodyBytesSent += pieceBytes;
                continue;
            }
            if (m_settings.behaviour != Behaviour::hugeDeclaredBody)
                return;
            const qint64 piece = std::min(pieceBytes, m_settings.declaredBytes - connection.sent);
            if (piece <= 0)
                return;
            socket->write(m_filler.constData(), piece);
            connection.sent += piece;
            m_shared->bodyBytesSent += piece;
        }
    }

    Settings m_settings;
    const QByteArray m_contentType;
    const QByteArray m_bodyStart;
    std::shared_ptr<Shared> m_shared;
    const QByteArray m_filler;
    QTcpServer m_server{this};
    QHash<QTcpSocket *, Connection> m_connections;
    bool m_released = false;
    QList<QPointer<QTcpSocket>> m_held;
};

HostileHttpServer::HostileHttpServer(Behaviour behaviour)
    : HostileHttpServer(Settings{behaviour, oneGigabyte, std::chrono::milliseconds(1000)})
{
}

HostileHttpServer::HostileHttpServer(Settings settings, QByteArray contentType,
                                     QByteArray bodyStart)
{
    m_worker = new Worker(settings, std::move(contentType), std::move(bodyStart), m_shared);
    m_worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

HostileHttpServer::~HostileHttpServer()
{
    m_thread.quit();
    m_thread.wait();
}

bool HostileHttpServer::listen()
{
    QMetaObject::invokeMethod(
        m_worker, [this] { m_port = m_worker->listen(); }, Qt::BlockingQueuedConnection);
    return m_port != 0;
}

QString HostileHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void HostileHttpServer::releaseAnswers()
{
    QMetaObject::invokeMethod(
        m_worker, [this] { m_worker->release(); }, Qt::BlockingQueuedConnection);
}

QList<QByteArray> HostileHttpServer::requestLines() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->requestLines;
}

} // namespace tolvaran::fixtures
