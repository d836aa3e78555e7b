#pragma once

#include "team/presence/TeamClock.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <chrono>
#include <optional>

class QTcpSocket;

namespace tolvaran::fixtures {

// A team socket server on 127.0.0.1 (a port of the system's choosing) that speaks just
// enough WebSocket to fail the way links fail after the upgrade, which Qt's own server side
// cannot: it answers every upgrade on any path (authorization unchecked), then sends the
// given snapshot at once, sends nothing at all (a proxy whose backend is down), or sends it
// one byte per trickleInterval of the given clock. Afterwards it sends nothing of its own:
// state messages are recorded, never answered. It answers pings until told to stop (a
// half-open link), and a close by closing.
//
// It runs on the test's thread; the test's waits run its event loop.
class BareTeamSocketServer final : public QObject
{
public:
    enum class Opening {
        snapshot,         // the snapshot right after the upgrade
        silence,          // nothing after the upgrade
        trickledSnapshot, // the snapshot's frame, a byte at a time
    };

    static constexpr std::chrono::seconds trickleInterval{1};

    // `snapshot` is the text of the one message it sends; `clock` paces the trickle.
    BareTeamSocketServer(Opening opening, QByteArray snapshot, TeamClock &clock);
    ~BareTeamSocketServer() override;

    // Starts listening; false when no port could be had.
    bool listen();
    // "http://127.0.0.1:<port>", the value for TOLVARAN_SERVER_URL.
    QString baseUrl() const;

    // Whether pings are answered (at first they are), for every connection from now on.
    void setAnswersPings(bool answers) { m_answersPings = answers; }

    // Connections whose upgrade was answered, and those still open.
    int upgradedSockets() const { return m_upgradedSockets; }
    int openSockets() const { return int(m_connections.size()); }
    // Bytes of snapshot frames written so far, over all connections.
    qint64 snapshotBytesSent() const { return m_snapshotBytesSent; }
    int pingsReceived() const { return m_pingsReceived; }
    int pongsSent() const { return m_pongsSent; }
    // The text messages the clients sent, in order.
    const QList<QByteArray> &textMessages() const { return m_textMessages; }

private:
    struct Connection
    {
        QByteArray received; // not yet taken: the request's head, then frames
        bool upgraded = false;
        QByteArray trickle; // the frame bytes still to trickle
        std::optional<TeamClock::WaitID> trickleWait;
        QByteArray text; // a text message whose frames have not all come
    };

    void accept();
    void read(QTcpSocket *socket);
    bool upgrade(QTcpSocket *socket, Connection &connection);
    void readFrames(QTcpSocket *socket, Connection &connection);
    void trickleNext(QTcpSocket *socket);
    void forget(QTcpSocket *socket);

    const Opening m_opening;
    const QByteArray m_snapshot;
    TeamClock &m_clock;
    QTcpServer m_server;
    QHash<QTcpSocket *, Connection> m_connections;
    bool m_answersPings = true;
    int m_upgradedSockets = 0;
    qint64 m_snapshotBytesSent = 0;
    int m_pingsReceived = 0;
    int m_pongsSent = 0;
    QList<QByteArray> m_textMessages;
};

} // namespace tolvaran::fixtures
