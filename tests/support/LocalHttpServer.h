#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

namespace tolvaran::fixtures {

// A small HTTP/1.1 server on 127.0.0.1 (a port the system picks) for tests of clients: it
// answers each path with a canned response, records every request, and closes each
// connection after its answer. Lives on the thread that creates it; clients on other threads
// are fine as long as that thread runs its event loop (waitUntil does).
class LocalHttpServer final : public QObject
{
    Q_OBJECT

public:
    struct Response
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        // Send the status and headers (with the body's length) but never the body, as a
        // server that stalls mid-answer: the connection stays open until the client leaves.
        bool withholdsBody = false;
    };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names in lower case
    };

    LocalHttpServer();

    // "http://127.0.0.1:<port>".
    QString baseURL() const;
    // The answer for `path`; paths without one get 404 and an empty body.
    void setResponse(const QByteArray &path, const Response &response);
    const QList<Request> &requests() const { return m_requests; }
    int requestCount(const QByteArray &path) const;

private:
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, Response> m_responses;
    QList<Request> m_requests;
};

} // namespace tolvaran::fixtures
