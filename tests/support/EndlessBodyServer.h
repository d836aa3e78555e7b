#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

namespace tolvaran::fixtures {

// An HTTP server on 127.0.0.1 (a port of the system's choosing) whose every answer is a 200
// without a declared length and with a body that never ends: `start`, then filler bytes, as
// fast as the client takes them, until the client goes away. For tests of readers that must
// stop at their limit however long the answer is.
class EndlessBodyServer final : public QObject
{
    Q_OBJECT

public:
    EndlessBodyServer(QByteArray contentType, QByteArray start, QObject *parent = nullptr);
    ~EndlessBodyServer() override;

    bool listen();
    QUrl url(const QString &path) const;

    // Bytes handed to the system's connections so far.
    qint64 bytesSent() const { return m_bytesSent; }
    // Connections that the client has closed.
    int closedConnections() const { return m_closed; }

private:
    void accept();
    void topUp(class QTcpSocket *socket);

    const QByteArray m_contentType;
    const QByteArray m_start;
    QTcpServer m_server;
    qint64 m_bytesSent = 0;
    int m_closed = 0;
};

} // namespace tolvaran::fixtures
