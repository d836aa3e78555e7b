#include "support/network/HostileHttpServer.h"

#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <zlib.h>

#include <algorithm>
#include <utility>

namespace tolvaran::fixtures {

namespace {

const QByteArray headerEnd = QByteArrayLiteral("\r\n\r\n");
// What the server lets wait in a connection's write buffer before it writes more.
constexpr qint64 writeAhead = 1024 * 1024;
constexpr qint64 pieceBytes = 256 * 1024;
// What one piece of a compressed bomb inflates to, and how many pieces go in one chunk.
constexpr qsizetype bombPieceBytes = 1024 * 1024;
constexpr int bombPiecesPerChunk = 64;

// A compressed body: its opening (the format's header and the body start) and a piece that
// may follow it any number of times.
struct CompressedBody
{
    QByteArray opening;
    QByteArray piece;
};

// zlib, because no compressor of Qt's writes a stream that can go on: each piece ends with a
// full flush, which empties the compressor's history, so the next piece compresses to the
// same bytes and one piece can be sent again and again.
CompressedBody compressedBody(bool gzip, const QByteArray &bodyStart)
{
    z_stream stream{};
    // 31 asks for gzip's wrapper, 15 for zlib's (what HTTP calls "deflate").
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, gzip ? 31 : 15, 8,
                 Z_DEFAULT_STRATEGY);
    const auto compress = [&stream](const QByteArray &input) {
        QByteArray output(qsizetype(deflateBound(&stream, uLong(input.size()))) + 64,
                          Qt::Uninitialized);
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(input.constData()));
        stream.avail_in = uInt(input.size());
        stream.next_out = reinterpret_cast<Bytef *>(output.data());
        stream.avail_out = uInt(output.size());
        deflate(&stream, Z_FULL_FLUSH);
        output.truncate(output.size() - qsizetype(stream.avail_out));
        return output;
    };
    CompressedBody body;
    body.opening = compress(bodyStart);
    body.piece = compress(QByteArray(bombPieceBytes, ' '));
    deflateEnd(&stream);
    return body;
}

QByteArray chunk(const QByteArray &data)
{
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

bool isBomb(HostileHttpServer::Behaviour behaviour)
{
    return behaviour == HostileHttpServer::Behaviour::gzipBomb
           || behaviour == HostileHttpServer::Behaviour::deflateBomb;
}

bool isCompressed(HostileHttpServer::Behaviour behaviour)
{
    return isBomb(behaviour) || behaviour == HostileHttpServer::Behaviour::brokenGzipBody;
}

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
        if (isCompressed(m_settings.behaviour)) {
            const CompressedBody body = compressedBody(
                m_settings.behaviour != Behaviour::deflateBomb, m_bodyStart);
            m_compressedOpening = chunk(body.opening);
            m_bombChunk = chunk(body.piece.repeated(bombPiecesPerChunk));
        }
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
        case Behaviour::gzipBomb:
        case Behaviour::deflateBomb:
        case Behaviour::brokenGzipBody:
            socket->write(status + "Transfer-Encoding: chunked\r\nContent-Encoding: "
                          + (m_settings.behaviour == Behaviour::deflateBomb ? "deflate" : "gzip")
                          + "\r\n\r\n" + m_compressedOpening);
            if (m_settings.behaviour != Behaviour::brokenGzipBody) {
                pump(socket);
                return;
            }
            // A block whose header names no kind of block deflate has.
            QTimer::singleShot(m_settings.trickleInterval, socket,
                               [socket] { socket->write(chunk("\xff\xff\xff\xff")); });
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
            if (isBomb(m_settings.behaviour)) {
                socket->write(m_bombChunk);
                connection.sent += m_bombChunk.size();
                m_shared->bodyBytesSent += m_bombChunk.size();
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
    // A compressed body's first chunk, and the chunk that follows a bomb's for ever.
    QByteArray m_compressedOpening;
    QByteArray m_bombChunk;
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
