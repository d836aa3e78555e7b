#include "support/network/LocalHttpServer.h"

#include "support/network/SelfSignedCertificate.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace tolvaran::fixtures {

namespace {

// The end of a request's header block.
const QByteArray headerEnd = QByteArrayLiteral("\r\n\r\n");

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

LocalHttpServer::Response LocalHttpServer::Response::ok(QByteArray body, QByteArray contentType)
{
    Response response;
    response.headers.append({"Content-Type", std::move(contentType)});
    response.body = std::move(body);
    return response;
}

LocalHttpServer::Response LocalHttpServer::Response::redirect(const QByteArray &location,
                                                              int status)
{
    Response response;
    response.status = status;
    response.headers.append({"Location", location});
    return response;
}

LocalHttpServer::Response LocalHttpServer::Response::withStatus(int status, QByteArray body)
{
    Response response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

LocalHttpServer::Response LocalHttpServer::Response::dropped()
{
    Response response;
    response.drops = true;
    return response;
}

LocalHttpServer::LocalHttpServer(QObject *parent)
    : QObject(parent)
    , m_server(std::make_unique<QTcpServer>())
{
    connect(m_server.get(), &QTcpServer::newConnection, this, &LocalHttpServer::accept);
}

LocalHttpServer::~LocalHttpServer() = default;

bool LocalHttpServer::listen(quint16 port, const QHostAddress &address)
{
    return m_server->listen(address, port);
}

bool LocalHttpServer::listenEncrypted(quint16 port, const QHostAddress &address)
{
    const SelfSignedCertificate &identity = SelfSignedCertificate::loopback();
    if (!QSslSocket::supportsSsl() || identity.certificate.isNull())
        return false;
    auto server = std::make_unique<QSslServer>();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(identity.certificate);
    configuration.setPrivateKey(identity.key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    server->setSslConfiguration(configuration);
    // A connection is handed over once its handshake is done.
    connect(server.get(), &QTcpServer::pendingConnectionAvailable, this,
            &LocalHttpServer::accept);
    m_server = std::move(server);
    return m_server->listen(address, port);
}

QUrl LocalHttpServer::url(const QString &path, const QString &host) const
{
    const bool encrypted = qobject_cast<const QSslServer *>(m_server.get()) != nullptr;
    return QUrl(QStringLiteral("%1://%2:%3%4")
                    .arg(encrypted ? QStringLiteral("https") : QStringLiteral("http"),
                         host.isEmpty() ? m_server->serverAddress().toString() : host)
                    .arg(m_server->serverPort())
                    .arg(path));
}

void LocalHttpServer::setResponse(const QString &path, Response response)
{
    m_handlers.insert(path, [response = std::move(response)](const Request &) {
        return response;
    });
}

void LocalHttpServer::setHandler(const QString &path, Handler handler)
{
    m_handlers.insert(path, std::move(handler));
}

void LocalHttpServer::hold(const QString &path)
{
    m_held.insert(path, true);
}

void LocalHttpServer::release(const QString &path)
{
    m_held.remove(path);
    const QList<Held> waiting = std::exchange(m_waiting, {});
    for (const Held &held : waiting) {
        if (!held.socket)
            continue;
        const QString heldPath = held.socket->property("path").toString();
        if (heldPath == path)
            answer(held.socket, held.response);
        else
            m_waiting.append(held);
    }
}

void LocalHttpServer::releaseFirst(const QString &path)
{
    for (qsizetype i = 0; i < m_waiting.size(); ++i) {
        const Held held = m_waiting[i];
        if (held.socket && held.socket->property("path").toString() == path) {
            m_waiting.removeAt(i);
            answer(held.socket, held.response);
            return;
        }
    }
}

int LocalHttpServer::requestCount(const QString &path) const
{
    int count = 0;
    for (const Request &request : m_requests)
        count += QString::fromUtf8(request.path) == path ? 1 : 0;
    return count;
}

void LocalHttpServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LocalHttpServer::readRequest(QTcpSocket *socket)
{
    // One request per connection: every answer closes it.
    if (socket->property("answered").toBool())
        return;
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    socket->setProperty("buffer", buffer);
    const qsizetype end = buffer.indexOf(headerEnd);
    if (end < 0)
        return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    Request request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype bodyStart = end + headerEnd.size();
    const qsizetype bodyLength = request.headers.value("content-length").toLongLong();
    if (buffer.size() - bodyStart < bodyLength)
        return;
    request.body = buffer.mid(bodyStart, bodyLength);
    socket->setProperty("answered", true);
    m_requests.append(request);

    // A handler for the whole path with its query wins over one for the path alone.
    QString path = QString::fromUtf8(request.path);
    if (!m_handlers.contains(path))
        path = path.section(QLatin1Char('?'), 0, 0);
    const auto handler = m_handlers.constFind(path);
    const Response response = handler != m_handlers.constEnd() ? (*handler)(request)
                                                               : Response::withStatus(404);
    if (m_held.contains(path)) {
        socket->setProperty("path", path);
        m_waiting.append({socket, response});
        return;
    }
    answer(socket, response);
}

void LocalHttpServer::answer(QTcpSocket *socket, const Response &response)
{
    if (response.drops) {
        // Ends the socket at once; its disconnected() deletes it.
        socket->abort();
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
                      + reasonPhrase(response.status) + "\r\n";
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    if (response.declaresLength)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    if (response.sentOver.count() > 0) {
        constexpr qsizetype pieces = 20;
        const qsizetype pieceBytes =
            std::max<qsizetype>(1, (response.body.size() + pieces - 1) / pieces);
        auto *sending = new QTimer(socket);
        connect(sending, &QTimer::timeout, socket,
                [socket, sending, body = response.body, pieceBytes,
                 sent = qsizetype(0)]() mutable {
                    socket->write(body.mid(sent, pieceBytes));
                    sent += pieceBytes;
                    if (sent >= body.size()) {
                        sending->stop();
                        socket->disconnectFromHost();
                    }
                });
        sending->start(response.sentOver / pieces);
        return;
    }
    socket->write(response.body);
    if (response.trickleInterval.count() > 0) {
        auto *trickle = new QTimer(socket);
        connect(trickle, &QTimer::timeout, socket, [socket] { socket->write("x", 1); });
        trickle->start(response.trickleInterval);
        return;
    }
    // Closes once everything written has gone out (or the client has gone).
    socket->disconnectFromHost();
}

} // namespace tolvaran::fixtures
