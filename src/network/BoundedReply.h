#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>

#include <chrono>
#include <functional>

class QNetworkReply;
class QNetworkRequest;

namespace tolvaran {

// The bounds one answer of a server is read within.
struct NetworkReadLimits
{
    // Bytes of the body: the reply is aborted the moment more arrive, or as soon as its
    // declared length says more would.
    qint64 maximumBytes = 0;
    // The whole exchange, from the request to the last byte; zero for none. The request's
    // transfer timeout bounds only the silence between two bytes, so a server that sends one
    // byte a second would hold a call for ever without it.
    std::chrono::milliseconds deadline{0};
};

// Reads one reply within its limits, as its bytes arrive. Unless told otherwise, Qt's network
// thread reads a body ahead of the program without any limit, and an abort decided later on
// this thread comes when the memory is taken already. So the reply's read buffer is capped
// (the network thread stops reading the connection while the buffer is full), every arrival
// is taken and counted at once, and the reply is aborted the moment it passes the limit.
//
// An error the reply reports ends the read: nothing that arrives after it is taken, and a
// reply that Qt leaves running after its error (one whose body failed to inflate) is aborted,
// so that finished() follows with Qt's error kept for the caller.
//
// Made right after the request is sent, before anything else connects to the reply's
// finished(), so that the last bytes are counted before anyone looks at the outcome. A child
// of the reply: it goes with it. The body goes to the consumer or, without one, is kept for
// takeBody(). The reply's thread only.
class BoundedReply final : public QObject
{
    Q_OBJECT

public:
    // Why the reply was stopped before its end.
    enum class Stop {
        none,
        tooLarge, // more than maximumBytes arrived, or were announced
        deadline, // the exchange outlasted its deadline
        consumer, // the consumer refused a piece
    };

    // Takes each piece of the body in order; false stops the transfer.
    using Consumer = std::function<bool(const QByteArray &piece)>;

    // How much of a body Qt may hold before this object takes it.
    static constexpr qint64 readBufferBytes = 256 * 1024;

    // Readies a request for a bounded read: HTTP/1.1 only, because an HTTP/2 stream is paced
    // by its flow-control window (megabytes, in Qt's settings), not by the capped read buffer.
    static void prepare(QNetworkRequest &request);

    BoundedReply(QNetworkReply *reply, NetworkReadLimits limits, Consumer consumer = {});

    Stop stop() const { return m_stop; }
    qint64 bytesReceived() const { return m_received; }
    // The body kept so far, in one piece (without a consumer); empty after the first call.
    QByteArray takeBody();

private:
    void checkDeclaredLength();
    void readAvailable();
    void endAfterError();
    void halt(Stop reason);

    QNetworkReply *m_reply;
    NetworkReadLimits m_limits;
    Consumer m_consumer;
    // Kept as received and joined once at the end: a body grown by appending would be copied
    // each time it doubled, and under the limit of a large answer that doubles its peak.
    QByteArrayList m_pieces;
    qint64 m_received = 0;
    Stop m_stop = Stop::none;
    bool m_failed = false; // the reply reported an error
};

} // namespace tolvaran
