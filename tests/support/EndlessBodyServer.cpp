#include "support/EndlessBodyServer.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace tolvaran::fixtures {

namespace {

// What one write adds, and how much may wait in the socket's own buffer: little enough that
// the count of bytes sent follows what the client reads.
constexpr qsizetype chunkBytes = 64 * 1024;
constexpr qint64 queuedBytes = 2 * chunkBytes;

} // namespace

EndlessBodyServer::EndlessBodyServer(QByteArray contentType, QByteArray start, QObject *parent)
    : QObject(parent)
    , m_contentType(std::move(contentType))
    , m_start(std::move(start))
{
    connect(&m_server, &QTcpServer::newConnection, this, &EndlessBodyServer::accept);
}

EndlessBodyServer::~EndlessBodyServer() = default;

bool EndlessBodyServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl EndlessBodyServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void EndlessBodyServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket->property("answering").toBool()) {
                socket->readAll();
                return;
            }
            QByteArray request = socket->property("request").toByteArray() + socket->readAll();
            socket->setProperty("request", request);
            if (!request.contains("\r\n\r\n"))
                return;
            socket->setProperty("answering", true);
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + m_contentType
                          + "\r\nConnection: close\r\n\r\n");
            socket->write(m_start);
            topUp(socket);
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket](qint64 written) {
            if (!socket->property("answering").toBool())
                return;
            m_bytesSent += written;
            topUp(socket);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            ++m_closed;
            socket->deleteLater();
        });
    }
}

void EndlessBodyServer::topUp(QTcpSocket *socket)
{
    static const QByteArray filler(chunkBytes, '\0');
    while (socket->state() == QAbstractSocket::ConnectedState
           && socket->bytesToWrite() < queuedBytes)
        socket->write(filler);
}

} // namespace tolvaran::fixtures
