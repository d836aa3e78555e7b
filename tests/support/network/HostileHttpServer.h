#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace tolvaran::fixtures {

// A server on 127.0.0.1 (a port of the system's choosing) that answers every request, on any
// path, the way a hostile or broken server would: a body that never ends (chunked, or with no
// declared length until the client closes), one that declares a gigabyte, one that comes a
// byte at a time, a compressed one that inflates a thousandfold or breaks off into bytes that
// do not inflate, or no answer at all. For tests that what comes over the network stays
// bounded; they point TOLVARAN_SERVER_URL (or a request) at it. A WebSocket upgrade is a
// request like any other: "silence" leaves it unanswered.
//
// It runs on a thread of its own, as a real server runs beside the program: a test thread
// busy with other work does not slow it down. Bodies are sent as fast as the client takes
// them: more is written only while less than a megabyte waits to go out.
class HostileHttpServer final
{
public:
    enum class Behaviour {
        endlessChunkedBody, // 200, chunked, chunks for as long as the client reads them
        endlessBody,        // 200, no declared length, bytes until the client closes
        hugeDeclaredBody,   // 200, a Content-Length of the declared bytes, all of it sent
        trickledBody,       // 200, a Content-Length of the declared bytes, a byte per interval
        silence,            // the request is read and never answered; the connection stays
        // 200, chunked, no declared length, "Content-Encoding: gzip" (or "deflate", the zlib
        // format): a compressed body that never ends, whose every kilobyte inflates to a
        // megabyte of spaces (so that a body start of JSON stays well-formed however much
        // of it is read)
        gzipBomb,
        deflateBomb,
        // 200, chunked, gzip: the body start, compressed, and a trickle interval later bytes
        // that are no compressed data; then nothing more, the connection left open
        brokenGzipBody,
    };

    static constexpr qint64 oneGigabyte = 1024LL * 1024 * 1024;

    struct Settings
    {
        Behaviour behaviour = Behaviour::silence;
        qint64 declaredBytes = oneGigabyte;
        std::chrono::milliseconds trickleInterval{1000};
        // Requests wait for releaseAnswers() before they are answered.
        bool answersWhenReleased = false;
    };

    explicit HostileHttpServer(Behaviour behaviour);
    // Bodies are of `contentType` and begin with `bodyStart` (a real header of a file, say).
    explicit HostileHttpServer(Settings settings, QByteArray contentType = "application/json",
                               QByteArray bodyStart = {});
    ~HostileHttpServer();
    HostileHttpServer(const HostileHttpServer &) = delete;
    HostileHttpServer &operator=(const HostileHttpServer &) = delete;

    // Starts listening; false when no port could be had.
    bool listen();
    // "http://127.0.0.1:<port>".
    QString baseUrl() const;
    // Answers the requests held so far (answersWhenReleased), and every later one at once.
    void releaseAnswers();

    // The request lines received so far ("GET /v1/app/update HTTP/1.1").
    QList<QByteArray> requestLines() const;
    int requestCount() const { return m_shared->requests.load(); }
    // Body bytes handed to the connections so far (compressed, for a bomb).
    qint64 bodyBytesSent() const { return m_shared->bodyBytesSent.load(); }
    // Connections still open.
    int openConnections() const { return m_shared->openConnections.load(); }

    // What the server thread and the test's thread both see.
    struct Shared
    {
        std::atomic<int> requests{0};
        std::atomic<qint64> bodyBytesSent{0};
        std::atomic<int> openConnections{0};
        mutable std::mutex mutex;
        QList<QByteArray> requestLines; // under the mutex
    };

private:
    class Worker;

    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    QThread m_thread;
    Worker *m_worker = nullptr; // lives on m_thread
    quint16 m_port = 0;
};

} // namespace tolvaran::fixtures
