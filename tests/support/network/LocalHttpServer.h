#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

class QTcpSocket;

namespace tolvaran::fixtures {

// A small HTTP/1.1 server on 127.0.0.1 (a port of the system's choosing) for tests, running on
// the test's thread: tests say what each path answers, count the requests, and may hold a
// path's answers back until they release them.
//
// Written over QTcpServer rather than taken from Qt's HTTP server module, because the tests
// need what that module does not offer: answers held back and released later, bodies sent
// without a declared length, and status lines of any code.
class LocalHttpServer final : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray path; // with its query, as sent
        // Header names in lower case.
        QHash<QByteArray, QByteArray> headers;
        // As long as its Content-Length says (chunked bodies are not understood).
        QByteArray body;
    };

    struct Response
    {
        int status = 200;
        QList<std::pair<QByteArray, QByteArray>> headers;
        QByteArray body;
        // Without a declared length the body ends when the connection closes.
        bool declaresLength = true;
        // The connection closes before a byte of the answer is sent, as a host does that
        // drops it (Qt's network access may ask again on a new connection, answered anew).
        bool drops = false;
        // When not zero, the connection stays open after the body and a byte follows every
        // interval for as long as the client stays: a server too slow ever to end or fall
        // silent.
        std::chrono::milliseconds trickleInterval{0};
        // When not zero, the body goes out in pieces spread evenly over this time before the
        // connection closes: a server slow to send but never silent for long.
        std::chrono::milliseconds sentOver{0};

        static Response ok(QByteArray body, QByteArray contentType);
        static Response redirect(const QByteArray &location, int status = 302);
        static Response withStatus(int status, QByteArray body = {});
        static Response dropped();
    };

    using Handler = std::function<Response(const Request &request)>;

    explicit LocalHttpServer(QObject *parent = nullptr);
    ~LocalHttpServer() override;

    // Starts listening on `port` (0: any free port) of `address` (127.0.0.1 unless a test
    // wants a second host, such as 127.0.0.2); false when it could not.
    bool listen(quint16 port = 0, const QHostAddress &address = QHostAddress::LocalHost);
    // The same for https, presenting SelfSignedCertificate::loopback(): a test's network
    // access must trust that certificate. False also where TLS is not available.
    bool listenEncrypted(quint16 port = 0,
                         const QHostAddress &address = QHostAddress::LocalHost);
    // The absolute URL of `path` (which starts with a slash) on this server, by its address
    // or by `host`, another name for it (such as localhost).
    QUrl url(const QString &path, const QString &host = {}) const;

    // What `path` answers from now on (a path without an answer gets 404). A path without a
    // query answers requests with any query unless a handler for the whole of it exists.
    void setResponse(const QString &path, Response response);
    void setHandler(const QString &path, Handler handler);

    // Answers to `path` wait from now on until release(path) sends them all, or
    // releaseFirst(path) the one that has waited longest (later ones wait on).
    void hold(const QString &path);
    void release(const QString &path);
    void releaseFirst(const QString &path);

    // Requests received so far: those for `path` as sent (query included), or all.
    int requestCount(const QString &path) const;
    QList<Request> requests() const { return m_requests; }

private:
    struct Held
    {
        QPointer<QTcpSocket> socket;
        Response response;
    };

    void accept();
    void readRequest(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Response &response);

    // A QSslServer when listening for https.
    std::unique_ptr<QTcpServer> m_server;
    QHash<QString, Handler> m_handlers;
    QHash<QString, bool> m_held;
    QList<Held> m_waiting;
    QList<Request> m_requests;
};

} // namespace tolvaran::fixtures
