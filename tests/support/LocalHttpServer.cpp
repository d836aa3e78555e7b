#include "support/LocalHttpServer.h"

#include <QTcpSocket>

#include <stdexcept>

namespace tolvaran::fixtures {

namespace {

// A test request is a request line and a few headers; anything longer is a broken client.
constexpr qsizetype maximumRequestBytes = 64 * 1024;

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

} // namespace

LocalHttpServer::LocalHttpServer()
{
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("the local HTTP server could not listen");
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString LocalHttpServer::baseURL() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void LocalHttpServer::setResponse(const QByteArray &path, const Response &response)
{
    m_responses.insert(path, response);
}

int LocalHttpServer::requestCount(const QByteArray &path) const
{
    int count = 0;
    for (const Request &request : m_requests)
        count += request.path == path ? 1 : 0;
    return count;
}

void LocalHttpServer::serve(QTcpSocket *socket)
{
    QByteArray received = socket->property("received").toByteArray() + socket->readAll();
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0) {
        if (received.size() > maximumRequestBytes)
            socket->abort();
        else
            socket->setProperty("received", received);
        return;
    }
    socket->setProperty("received", QByteArray());
    const QList<QByteArray> lines = received.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    Request request;
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
    }
    m_requests.append(request);

    const Response response = m_responses.value(request.path, Response{404, {}, "text/plain"});
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
                        + reason(response.status) + "\r\nContent-Type: " + response.contentType
                        + "\r\nContent-Length: " + QByteArray::number(response.body.size())
                        + "\r\nConnection: close\r\n\r\n";
    if (response.withholdsBody) {
        socket->write(answer);
        return;
    }
    socket->write(answer + response.body);
    socket->disconnectFromHost();
}

} // namespace tolvaran::fixtures
