#include "network/BoundedReply.h"
#include "support/network/HostileHttpServer.h"
#include "support/network/LocalHttpServer.h"
#include "support/WaitUntil.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

namespace tolvaran {
namespace {

using fixtures::HostileHttpServer;
using namespace std::chrono_literals;

constexpr qint64 megabyte = 1024 * 1024;
// The team's own limit for one answer: the largest any caller reads into memory.
constexpr qint64 largeLimit = 32 * megabyte;

// One bounded GET, run until the reply has finished.
struct Read
{
    BoundedReply::Stop stop = BoundedReply::Stop::none;
    qint64 received = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    bool finished = false;
    // The most bytes Qt held for the reply when one of its arrivals reached the reader.
    qint64 mostBuffered = 0;
};

// Keeps the thread busy for `busy` every few milliseconds, as a GUI thread drawing a window
// is: the network thread meanwhile reads on by itself unless the reply's buffer holds it back.
class BusyThread
{
public:
    explicit BusyThread(std::chrono::milliseconds busy)
    {
        if (busy.count() == 0)
            return;
        QObject::connect(&m_timer, &QTimer::timeout,
                         [busy] { std::this_thread::sleep_for(busy); });
        m_timer.start(5ms);
    }

private:
    QTimer m_timer;
};

// How the request goes out: Qt starts a request that has data to upload (sendCustomRequest's
// too, even empty: the team's calls go that way) one turn of the event loop later than a GET.
enum class Sent { asGet, asCustomRequest };

struct Fetch
{
    NetworkReadLimits limits;
    BoundedReply::Consumer consumer = {};
    std::chrono::milliseconds busy{0};
    Sent sent = Sent::asGet;
    // A server that holds its answers until the reply has been set up (answersWhenReleased).
    HostileHttpServer *holding = nullptr;
};

// One bounded GET of `url`, run until the reply has finished.
Read get(const QString &url, Fetch fetch)
{
    Read read;
    const BusyThread busyThread(fetch.busy);
    QNetworkAccessManager network;
    QNetworkRequest request{QUrl(url)};
    BoundedReply::prepare(request);
    std::unique_ptr<QNetworkReply> reply(
        fetch.sent == Sent::asGet ? network.get(request)
                                  : network.sendCustomRequest(request, "GET", QByteArray()));
    // Connected first, so it sees each arrival before the bounded reply takes it.
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
        read.mostBuffered = std::max(read.mostBuffered, reply->bytesAvailable());
    });
    auto *bounded = new BoundedReply(reply.get(), fetch.limits, std::move(fetch.consumer));
    QObject::connect(reply.get(), &QNetworkReply::finished, reply.get(), [&] {
        read.finished = true;
        read.stop = bounded->stop();
        read.received = bounded->bytesReceived();
        read.error = reply->error();
        read.body = bounded->takeBody();
    });
    if (fetch.holding) {
        // The turn that starts a custom request and sends the cap after it.
        fixtures::runQueuedWork(1);
        fetch.holding->releaseAnswers();
    }
    EXPECT_TRUE(fixtures::waitUntil([&] { return read.finished; }, 120s));
    return read;
}

// Qt's network thread learns of the reply's buffer cap only through a call queued after the
// request's start (Qt 6.4 takes a cap on that thread only once the request has started there,
// and has no request attribute for one). The GUI thread queues the cap right after the start,
// but one taken off the processor between the two lets the network thread read the first
// bytes of an answer that comes at once without a limit, and those bytes go on counting
// against the cap afterwards. What the code does guarantee is a buffer's worth for an answer
// that comes after the cap is on its way: these servers hold their answers until then
// (Fetch::holding).

// An answer past the limit is refused as it arrives: the reader takes no more than a buffer
// past the limit, whether the server declares its length or not, and Qt never holds more than
// that buffer for it, whatever the server sent.
TEST(BoundedReply, stopsEveryOversizedAnswerJustPastTheLimit)
{
    struct Row
    {
        const char *name;
        HostileHttpServer::Behaviour behaviour;
        qint64 limit;
    };
    const Row rows[] = {
        {"an endless chunked answer", HostileHttpServer::Behaviour::endlessChunkedBody,
         largeLimit},
        {"a gigabyte, declared", HostileHttpServer::Behaviour::hugeDeclaredBody, largeLimit},
        {"an endless answer to a small limit", HostileHttpServer::Behaviour::endlessChunkedBody,
         64 * 1024},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        HostileHttpServer server({.behaviour = row.behaviour, .answersWhenReleased = true});
        ASSERT_TRUE(server.listen());
        const Read read =
            get(server.baseUrl() + "/answer", {.limits = {row.limit, 0ms}, .holding = &server});

        EXPECT_EQ(read.stop, BoundedReply::Stop::tooLarge);
        EXPECT_EQ(read.error, QNetworkReply::OperationCanceledError);
        EXPECT_LE(read.received, row.limit + BoundedReply::readBufferBytes);
        EXPECT_TRUE(read.body.isEmpty());
        EXPECT_LE(read.mostBuffered, BoundedReply::readBufferBytes);
        // The connection is dropped, so the server stops sending too.
        EXPECT_TRUE(fixtures::waitUntil([&] { return server.openConnections() == 0; }));
    }
}

// While the reader is busy, the network thread stops reading at the reply's buffer: without
// that cap it reads on, and the reader finds megabytes waiting when it comes back. (What the
// whole process holds meanwhile is a figure of bounded_reply_memory_bench.)
TEST(BoundedReply, theNetworkThreadWaitsForABusyReader)
{
    for (const Sent sent : {Sent::asGet, Sent::asCustomRequest}) {
        SCOPED_TRACE(sent == Sent::asGet ? "get" : "custom request");
        HostileHttpServer server({.behaviour = HostileHttpServer::Behaviour::endlessChunkedBody,
                                  .answersWhenReleased = true});
        ASSERT_TRUE(server.listen());
        constexpr qint64 limit = 4 * megabyte;
        const Read read = get(server.baseUrl() + "/answer", {.limits = {limit, 0ms},
                                                             .busy = 50ms,
                                                             .sent = sent,
                                                             .holding = &server});
        EXPECT_EQ(read.stop, BoundedReply::Stop::tooLarge);
        EXPECT_LE(read.received, limit + BoundedReply::readBufferBytes);
        EXPECT_LE(read.mostBuffered, BoundedReply::readBufferBytes);
    }
}

// A compressed answer that inflates a thousandfold, chunked so that no declared length gives
// it away: Qt reports that it refuses to inflate it further and leaves the transfer open. The
// read ends there, with Qt's error, rather than at its deadline, and the connection goes.
TEST(BoundedReply, aCompressedBombEndsTheReadWithTheNetworkError)
{
    for (const auto behaviour :
         {HostileHttpServer::Behaviour::gzipBomb, HostileHttpServer::Behaviour::deflateBomb}) {
        for (const Sent sent : {Sent::asGet, Sent::asCustomRequest}) {
            SCOPED_TRACE(testing::Message()
                         << (behaviour == HostileHttpServer::Behaviour::gzipBomb ? "gzip"
                                                                                 : "deflate")
                         << (sent == Sent::asGet ? ", get" : ", custom request"));
            HostileHttpServer server(behaviour);
            ASSERT_TRUE(server.listen());
            const Read read =
                get(server.baseUrl() + "/answer", {.limits = {largeLimit, 60s}, .sent = sent});
            EXPECT_TRUE(read.finished);
            EXPECT_EQ(read.stop, BoundedReply::Stop::none);
            EXPECT_EQ(read.error, QNetworkReply::UnknownContentError);
            EXPECT_LE(read.received, largeLimit);
            EXPECT_TRUE(fixtures::waitUntil([&] { return server.openConnections() == 0; }));
        }
    }
}

TEST(BoundedReply, aBodyThatTricklesInEndsAtTheDeadline)
{
    // Every byte well inside any transfer timeout.
    HostileHttpServer server({HostileHttpServer::Behaviour::trickledBody, 1000, 200ms});
    ASSERT_TRUE(server.listen());
    const Read read = get(server.baseUrl() + "/answer", {.limits = {megabyte, 1500ms}});
    EXPECT_EQ(read.stop, BoundedReply::Stop::deadline);
    EXPECT_GT(read.received, 0);
    EXPECT_LT(read.received, 1000);
}

TEST(BoundedReply, aBodyWithinItsLimitsArrivesWhole)
{
    fixtures::LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    const QByteArray body(3 * BoundedReply::readBufferBytes + 17, 'a');
    server.setResponse("/exact", fixtures::LocalHttpServer::Response::ok(body, "text/plain"));
    fixtures::LocalHttpServer::Response unsized =
        fixtures::LocalHttpServer::Response::ok(body, "text/plain");
    unsized.declaresLength = false;
    server.setResponse("/unsized", unsized);

    for (const char *path : {"/exact", "/unsized"}) {
        SCOPED_TRACE(path);
        const Read read = get(server.url(path).toString(), {.limits = {body.size(), 10s}});
        EXPECT_EQ(read.stop, BoundedReply::Stop::none);
        EXPECT_EQ(read.error, QNetworkReply::NoError);
        EXPECT_EQ(read.received, body.size());
        EXPECT_EQ(read.body, body);
    }
    // One byte more than allowed is too many.
    EXPECT_EQ(get(server.url("/unsized").toString(), {.limits = {body.size() - 1, 10s}}).stop,
              BoundedReply::Stop::tooLarge);
}

TEST(BoundedReply, aConsumerTakesThePiecesAndMayStopTheTransfer)
{
    HostileHttpServer server({HostileHttpServer::Behaviour::hugeDeclaredBody, 8 * megabyte});
    ASSERT_TRUE(server.listen());
    qint64 taken = 0;
    const Read whole = get(server.baseUrl() + "/answer",
                           {.limits = {8 * megabyte, 0ms},
                            .consumer = [&](const QByteArray &piece) {
                                taken += piece.size();
                                return true;
                            }});
    EXPECT_EQ(whole.stop, BoundedReply::Stop::none);
    EXPECT_EQ(taken, 8 * megabyte);
    EXPECT_TRUE(whole.body.isEmpty()); // it went to the consumer

    taken = 0;
    const Read refused = get(server.baseUrl() + "/answer",
                             {.limits = {8 * megabyte, 0ms},
                              .consumer = [&](const QByteArray &piece) {
                                  taken += piece.size();
                                  return taken < megabyte;
                              }});
    EXPECT_EQ(refused.stop, BoundedReply::Stop::consumer);
    EXPECT_EQ(refused.error, QNetworkReply::OperationCanceledError);
    EXPECT_LT(taken, megabyte + BoundedReply::readBufferBytes + 1);
}

} // namespace
} // namespace tolvaran
