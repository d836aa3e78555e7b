#include "LoaderWorld.h"

#include "remote_image/RemoteImageDecoder.h"
#include "remote_image/decoding/PictureDecoderPool.h"
#include "support/network/HostileHttpServer.h"
#include "support/ScopedEnvironment.h"
#include "support/markdown/TestImages.h"
#include "support/WaitUntil.h"

#include <QAbstractNetworkCache>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>

namespace tolvaran::markdown {
namespace {

using fixtures::LocalHttpServer;
using Response = LocalHttpServer::Response;
using Kind = RemoteImageErrorKind;

const QString imagePath = QStringLiteral("/image.png");

Response png(QSize size = {8, 4})
{
    return Response::ok(fixtures::pngImage(size), "image/png");
}

// Limits under which no drawing is refused for its cost, so that a costly picture is drawn
// for as long as it takes instead.
RemoteImageDecodeLimits unboundedDrawing()
{
    RemoteImageDecodeLimits limits;
    limits.drawingBudget = std::numeric_limits<qint64>::max();
    return limits;
}

// About a minute of drawing here: 20,000 translucent circles over four million pixels.
Response costlySvg()
{
    return Response::ok(fixtures::svgOfCoveringCircles({2048, 2048}, 20000), "image/svg+xml");
}

// Damage to a stored file (LoaderWorld::changeStoredFile), as a full disk or a kill leaves
// it: the body cut to 60 %, its second half zeroed, every 97th of its bytes flipped from a
// third on, or the whole file cut to 120 bytes. Only the last changes a file without a body
// (a record of where a redirect led) too.
void cutBody(QByteArray &file, qsizetype bodyStart)
{
    file.resize(bodyStart + (file.size() - bodyStart) * 6 / 10);
}

void zeroSecondHalf(QByteArray &file, qsizetype bodyStart)
{
    std::fill(file.begin() + bodyStart + (file.size() - bodyStart) / 2, file.end(), '\0');
}

void flipBytes(QByteArray &file, qsizetype bodyStart)
{
    for (qsizetype i = bodyStart + (file.size() - bodyStart) / 3; i < file.size(); i += 97)
        file[i] = char(~file[i]);
}

void cutFile(QByteArray &file, qsizetype)
{
    file.truncate(120);
}

TEST(DefaultRemoteImageLoader, concurrentRequestsForOneUrlShareOneDownload)
{
    LoaderWorld world;
    world.server.setResponse(imagePath, png({8, 4}));
    world.server.hold(imagePath);
    QList<RemoteImageResult> results;
    for (int i = 0; i < 3; ++i)
        world.loader.image(world.server.url(imagePath), {}, nullptr,
                           [&](const RemoteImageResult &result) { results.append(result); });
    ASSERT_TRUE(fixtures::waitUntil([&] { return world.server.requestCount(imagePath) == 1; }));
    // A caller who comes while the download is held joins it as well.
    world.loader.image(world.server.url(imagePath), {}, nullptr,
                       [&](const RemoteImageResult &result) { results.append(result); });
    world.server.release(imagePath);

    ASSERT_TRUE(fixtures::waitUntil([&] { return results.size() == 4; }));
    for (const RemoteImageResult &result : results) {
        ASSERT_TRUE(result.succeeded());
        EXPECT_EQ(result.image().size(), QSize(8, 4));
    }
    EXPECT_EQ(world.server.requestCount(imagePath), 1);
}

TEST(DefaultRemoteImageLoader, concurrentRequestsShareOneFailure)
{
    LoaderWorld world;
    world.server.setResponse(imagePath, Response::withStatus(404));
    world.server.hold(imagePath);
    QList<RemoteImageResult> results;
    for (int i = 0; i < 2; ++i)
        world.loader.image(world.server.url(imagePath), {}, nullptr,
                           [&](const RemoteImageResult &result) { results.append(result); });
    ASSERT_TRUE(fixtures::waitUntil([&] { return world.server.requestCount(imagePath) == 1; }));
    world.server.release(imagePath);

    ASSERT_TRUE(fixtures::waitUntil([&] { return results.size() == 2; }));
    for (const RemoteImageResult &result : results)
        EXPECT_EQ(result.error().kind(), Kind::badServerResponse);
    EXPECT_EQ(world.server.requestCount(imagePath), 1);
}

TEST(DefaultRemoteImageLoader, answersByStatus)
{
    const struct
    {
        int status;
        std::optional<Kind> error;
    } rows[] = {{200, {}},
                {299, {}},
                // A success without a body has nothing to decode.
                {204, Kind::cannotDecodeContentData},
                {300, Kind::badServerResponse},
                {404, Kind::badServerResponse},
                {500, Kind::badServerResponse}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.status);
        LoaderWorld world;
        Response response = png();
        response.status = row.status;
        world.server.setResponse(imagePath, response);
        const auto result = world.load(world.server.url(imagePath));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->succeeded(), !row.error);
        if (row.error) {
            EXPECT_EQ(result->error().kind(), *row.error);
        }
    }
}

TEST(DefaultRemoteImageLoader, failureIsNotRememberedAndTheNextRequestDownloadsAgain)
{
    LoaderWorld world;
    const QUrl url = world.server.url(imagePath);
    world.server.setResponse(imagePath, Response::withStatus(500));
    EXPECT_EQ(world.load(url)->error().kind(), Kind::badServerResponse);

    world.server.setResponse(imagePath, Response::ok("<html><body>Moved</body></html>",
                                                     "text/html"));
    EXPECT_EQ(world.load(url)->error().kind(), Kind::cannotDecodeContentData);

    world.server.setResponse(imagePath, png({3, 5}));
    const auto result = world.load(url);
    ASSERT_TRUE(result && result->succeeded());
    EXPECT_EQ(result->image().size(), QSize(3, 5));
    EXPECT_EQ(world.server.requestCount(imagePath), 3);

    // A stored answer that does not decode is asked for again at once, and once: a fresh
    // answer that does not decode either ends the load.
    ASSERT_TRUE(world.changeStoredFile(url, zeroSecondHalf));
    world.server.setResponse(imagePath, Response::ok("<html>Gone</html>", "text/html"));
    EXPECT_EQ(world.loadAfresh(url)->error().kind(), Kind::cannotDecodeContentData);
    EXPECT_EQ(world.server.requestCount(imagePath), 4);
}

TEST(DefaultRemoteImageLoader, transferFailureIsRetriedOnTheNextRequest)
{
    LoaderWorld world;
    // A port that was free a moment ago refuses the connection.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/image.png").arg(closed.serverPort()));
    closed.close();
    const auto failed = world.load(url);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->error().kind(), Kind::transferFailed);
    EXPECT_FALSE(failed->error().detail().isEmpty());

    // The same address, now answering.
    LocalHttpServer late;
    ASSERT_TRUE(late.listen(quint16(url.port())));
    late.setResponse(imagePath, png());
    const auto result = world.load(url);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->succeeded());
}

TEST(DefaultRemoteImageLoader, cachedImageIsServedWithoutAnotherDownload)
{
    LoaderWorld world;
    const QUrl url = world.server.url(imagePath);
    world.server.setResponse(imagePath, png({6, 6}));
    ASSERT_TRUE(world.load(url)->succeeded());
    ASSERT_TRUE(world.cache.image(url));

    world.server.setResponse(imagePath, Response::withStatus(404));
    const auto again = world.load(url);
    ASSERT_TRUE(again && again->succeeded());
    EXPECT_EQ(again->image().size(), QSize(6, 6));
    EXPECT_EQ(world.server.requestCount(imagePath), 1);
}

TEST(DefaultRemoteImageLoader, decodesToTheSizeAskedFromOneTransferAndCachesTheLargest)
{
    LoaderWorld world;
    const QUrl url = world.server.url(imagePath);
    world.server.setResponse(imagePath, png({400, 200}));
    const auto loadAt = [&](QSize maximumSize) {
        std::optional<RemoteImageResult> outcome;
        world.loader.imageAtSize(url, {}, maximumSize, nullptr,
                                 [&](const RemoteImageResult &result) { outcome = result; });
        fixtures::waitUntil([&] { return outcome.has_value(); });
        return outcome ? outcome->decoded() : DecodedImage(QImage());
    };
    const auto cachedSize = [&] {
        const std::optional<DecodedImage> cached = world.cache.image(url);
        return cached ? cached->image.size() : QSize();
    };
    const DecodedImage small = loadAt({100, 100});
    EXPECT_EQ(small.image.size(), QSize(100, 50));
    EXPECT_EQ(small.pictureSize, QSize(400, 200));
    // Its pixels per picture pixel, as a view at one pixel per point draws them.
    EXPECT_DOUBLE_EQ(small.image.devicePixelRatio(), 0.25);

    // Larger than the cached pixels: decoded again from the stored response; smaller: shrunk
    // for the caller, while the cache keeps the larger pixels.
    EXPECT_EQ(loadAt({200, 200}).image.size(), QSize(200, 100));
    const DecodedImage smaller = loadAt({50, 1000});
    EXPECT_EQ(smaller.image.size(), QSize(50, 25));
    EXPECT_EQ(smaller.pictureSize, QSize(400, 200));
    EXPECT_DOUBLE_EQ(smaller.image.devicePixelRatio(), 0.125);
    EXPECT_EQ(cachedSize(), QSize(200, 100));
    EXPECT_EQ(loadAt({1000, 1000}).image.size(), QSize(400, 200)); // never enlarged
    EXPECT_EQ(cachedSize(), QSize(400, 200));
    EXPECT_EQ(world.server.requestCount(imagePath), 1);

    // Another size asked while a load runs is served once it has ended, from one transfer.
    const QUrl other = world.server.url(QStringLiteral("/other.png"));
    world.server.setResponse(QStringLiteral("/other.png"), png({400, 200}));
    world.server.hold(QStringLiteral("/other.png"));
    QList<QSize> sizes;
    for (const QSize maximumSize : {QSize(80, 80), QSize(40, 40)}) {
        world.loader.imageAtSize(other, {}, maximumSize, nullptr,
                                 [&](const RemoteImageResult &result) {
                                     sizes.append(result.image().size());
                                 });
    }
    ASSERT_TRUE(fixtures::waitUntil(
        [&] { return world.server.requestCount(QStringLiteral("/other.png")) == 1; }));
    world.server.release(QStringLiteral("/other.png"));
    ASSERT_TRUE(fixtures::waitUntil([&] { return sizes.size() == 2; }));
    EXPECT_EQ(sizes, (QList<QSize>{{80, 40}, {40, 20}}));
    EXPECT_EQ(world.server.requestCount(QStringLiteral("/other.png")), 1);
}

TEST(DefaultRemoteImageLoader, storedResponseServesWhateverItsAgeAndTheNetworkOnlyWithoutOne)
{
    // Each row loads the picture small, then, while the server would now answer with a
    // failure, whole (the pixels held answer where nothing is stored) and again through a
    // loader made afresh. Of a picture behind a redirect, its target's answers are counted.
    const struct
    {
        const char *name;
        QList<std::pair<QByteArray, QByteArray>> headers;
        int transfers;
        int redirect = 0;
        QList<std::pair<QByteArray, QByteArray>> redirectHeaders = {};
    } rows[] = {
        {"no caching headers", {}, 1},
        {"expired long ago", {{"Expires", "Thu, 01 Jan 1998 00:00:00 GMT"}}, 1},
        {"stale at once", {{"Cache-Control", "max-age=0"}}, 1},
        // What the server forbids is left to Qt, which asks it again or stores nothing.
        {"to be confirmed by the server", {{"Cache-Control", "no-cache"}}, 3},
        {"not to be stored", {{"Cache-Control", "no-store"}}, 3},
        {"no caching headers, behind a 301", {}, 1, 301},
        {"fresh for a day, behind a 302", {{"Cache-Control", "max-age=86400"}}, 1, 302},
        {"no caching headers, behind a 307", {}, 1, 307},
        {"fresh for a day, behind a 308", {{"Cache-Control", "max-age=86400"}}, 1, 308},
        {"not to be stored, behind a 302", {{"Cache-Control", "no-store"}}, 3, 302},
        {"no caching headers, behind a 302 not to be stored", {}, 1, 302,
         {{"Cache-Control", "no-store"}}},
        {"no caching headers, behind a 307 to be confirmed by the server", {}, 1, 307,
         {{"Cache-Control", "public, no-cache"}}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        LoaderWorld world;
        const QUrl url = world.server.url(row.redirect ? "/moved.png" : imagePath);
        Response redirect = Response::redirect("/image.png", row.redirect);
        redirect.headers += row.redirectHeaders;
        world.server.setResponse("/moved.png", redirect);
        Response response = png({6, 3});
        response.headers = row.headers;
        world.server.setResponse(imagePath, response);
        ASSERT_TRUE(world.load(url, {}, {2, 2})->succeeded());
        // Not a status of 500 or more, for which Qt may serve what it stored after all.
        world.server.setResponse(imagePath, Response::withStatus(404));
        EXPECT_EQ(world.load(url)->image().size(), row.transfers == 1 ? QSize(6, 3) : QSize(2, 1));

        const auto outcome = world.loadAfresh(url);
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->succeeded(), row.transfers == 1);
        EXPECT_EQ(world.server.requestCount(imagePath), row.transfers);
        if (!row.redirect)
            continue;
        // Where the redirect was recorded it leads to the stored picture while the server now
        // redirects elsewhere; otherwise the server is asked where it leads.
        redirect.headers = {{"Location", "/other.png"}};
        redirect.headers += row.redirectHeaders;
        world.server.setResponse("/moved.png", redirect);
        world.server.setResponse("/other.png", png({4, 4}));
        const auto moved = world.loadAfresh(url);
        ASSERT_TRUE(moved && moved->succeeded());
        const bool recorded = row.transfers == 1 && row.redirectHeaders.isEmpty();
        EXPECT_EQ(moved->image().size(), recorded ? QSize(6, 3) : QSize(4, 4));
    }
}

TEST(DefaultRemoteImageLoader, storedAnswerCutShortOrDamagedIsFetchedAgainAndDrawnAtOnce)
{
    const QByteArray jpeg = fixtures::jpegOfDrawing({120, 80}, QStringLiteral("cut"));
    const QByteArray drawing = fixtures::pngOfDrawing({120, 80}, 8, QStringLiteral("cut"));
    const struct
    {
        const char *name;
        QByteArray bytes;
        bool declaresLength;
        // What befalls each stored file of the walk once stored; none: the answer's body was
        // cut to 60 % as it was stored (the disk filling then).
        LoaderWorld::FileChange damage;
        bool behindRedirect = false;
    } rows[] = {
        {"a JPEG cut to 60 %", jpeg, true, cutBody},
        {"a PNG cut to 60 %", drawing, true, cutBody},
        {"a JPEG behind a 302 cut to 60 %", jpeg, true, cutBody, true},
        {"a PNG of undeclared length cut as it was stored", drawing, false, {}},
        {"a JPEG cut as it was stored", jpeg, true, {}},
        {"a PNG with its second half zeroed", drawing, true, zeroSecondHalf},
        {"a PNG behind a 302 with bytes flipped", drawing, true, flipBytes, true},
        {"a PNG behind a 302, each stored file cut to 120 bytes", drawing, true, cutFile, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        LoaderWorld world;
        if (!row.damage)
            world.cutWhatIsStored(0.6);
        Response response = Response::ok(row.bytes, "image/png");
        response.declaresLength = row.declaresLength;
        world.server.setResponse(imagePath, response);
        world.server.setResponse("/moved.png", Response::redirect("/image.png"));
        const QUrl url = world.server.url(row.behindRedirect ? "/moved.png" : imagePath);
        const RemoteImageResult fresh = RemoteImageDecoder().decode(row.bytes);
        ASSERT_TRUE(fresh.succeeded());
        ASSERT_TRUE(world.load(url)->succeeded());
        const QUrl stored = world.server.url(imagePath);
        for (const QUrl &address : row.behindRedirect ? QList{url, stored} : QList{stored}) {
            ASSERT_TRUE(!row.damage || world.changeStoredFile(address, row.damage));
        }

        const auto again = world.loadAfresh(url);
        ASSERT_TRUE(again && again->succeeded()) << again->error().message().toStdString();
        EXPECT_EQ(again->image(), fresh.image());
        EXPECT_EQ(world.server.requestCount(imagePath), 2);
        // Stored whole this time.
        ASSERT_TRUE(world.loadAfresh(url)->succeeded());
        EXPECT_EQ(world.server.requestCount(imagePath), 2);
    }
}

TEST(DefaultRemoteImageLoader, picturesBehindRedirectsTakeTheirRoomOnceInTheDiskCache)
{
    // Thirty pictures behind a 302, together about 70 % of the disk cache: a run with their
    // host gone finds every one of them stored.
    constexpr int count = 30;
    QList<QByteArray> pictures;
    qint64 total = 0;
    for (int i = 0; i < count; ++i) {
        pictures.append(fixtures::pngOfNoise({160, 160}, quint32(i + 1)));
        total += pictures.last().size();
    }
    LoaderWorld world({}, qint64(double(total) / 0.7));
    auto host = std::make_unique<LocalHttpServer>();
    ASSERT_TRUE(host->listen());
    QList<QUrl> asked;
    for (int i = 0; i < count; ++i) {
        const QString picture = QStringLiteral("/picture%1.png").arg(i);
        host->setResponse(picture, Response::ok(pictures[i], "image/png"));
        host->setResponse(QStringLiteral("/moved%1.png").arg(i),
                          Response::redirect(picture.toUtf8()));
        asked.append(host->url(QStringLiteral("/moved%1.png").arg(i)));
        ASSERT_TRUE(world.load(asked.last(), {}, {16, 16})->succeeded());
    }
    EXPECT_EQ(host->requests().size(), 2 * count);
    host.reset();

    int served = 0;
    for (const QUrl &url : asked)
        served += world.loadAfresh(url)->succeeded() ? 1 : 0;
    EXPECT_EQ(served, count);
}

TEST(DefaultRemoteImageLoader, aTransferDroppedBesideAnotherOfItsPictureLeavesThatOneStored)
{
    // One picture asked directly and through a redirect at once: the transfer asked first is
    // answered, the other's connection dropped once the picture is drawn. A start with the
    // host gone finds it.
    const struct
    {
        const char *name;
        bool redirectedFirst;
    } rows[] = {
        {"asked directly first, the redirected transfer dropped", false},
        {"asked through the redirect first, the direct transfer dropped", true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        LoaderWorld world;
        auto host = std::make_unique<LocalHttpServer>();
        ASSERT_TRUE(host->listen());
        int asked = 0;
        host->setHandler(imagePath, [&asked](const LocalHttpServer::Request &) {
            return ++asked == 1 ? png({6, 3}) : Response::dropped();
        });
        host->setResponse(QStringLiteral("/moved.png"), Response::redirect("/image.png"));
        host->hold(imagePath);
        const QUrl direct = host->url(imagePath);
        const QUrl moved = host->url(QStringLiteral("/moved.png"));
        std::optional<RemoteImageResult> outcomes[2];
        const QUrl order[] = {row.redirectedFirst ? moved : direct,
                              row.redirectedFirst ? direct : moved};
        for (int i = 0; i < 2; ++i) {
            world.loader.image(order[i], {}, nullptr,
                               [&outcomes, i](const RemoteImageResult &result) {
                                   outcomes[i] = result;
                               });
            ASSERT_TRUE(
                fixtures::waitUntil([&] { return host->requestCount(imagePath) == i + 1; }));
        }
        host->releaseFirst(imagePath);
        ASSERT_TRUE(fixtures::waitUntil([&] { return outcomes[0].has_value(); }));
        ASSERT_TRUE(outcomes[0]->succeeded());
        host->release(imagePath);
        ASSERT_TRUE(fixtures::waitUntil([&] { return outcomes[1].has_value(); }));
        EXPECT_EQ(outcomes[1]->error().kind(), Kind::transferFailed);
        host.reset();

        const auto again = world.loadAfresh(order[0]);
        ASSERT_TRUE(again);
        EXPECT_TRUE(again->succeeded()) << again->error().message().toStdString();
    }
}

TEST(DefaultRemoteImageLoader, requestsAskForImages)
{
    LoaderWorld world;
    world.server.setResponse(imagePath, png());
    world.load(world.server.url(imagePath));
    ASSERT_EQ(world.server.requests().size(), 1);
    EXPECT_EQ(world.server.requests().first().headers.value("accept"), "image/*");
}

TEST(DefaultRemoteImageLoader, callerGoneStillFillsTheCache)
{
    LoaderWorld world;
    const QUrl url = world.server.url(imagePath);
    world.server.setResponse(imagePath, png());
    world.server.hold(imagePath);
    bool called = false;
    auto context = std::make_unique<QObject>();
    world.loader.image(url, {}, context.get(), [&](const RemoteImageResult &) { called = true; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return world.server.requestCount(imagePath) == 1; }));
    context.reset();
    world.server.release(imagePath);

    EXPECT_TRUE(fixtures::waitUntil([&] { return world.cache.image(url).has_value(); }));
    EXPECT_FALSE(called);
}

TEST(DefaultRemoteImageLoader, downloadOverTheSizeCapIsAbandoned)
{
    const qint64 cap = DefaultRemoteImageLoader::maximumDownloadBytes;
    // A real image padded to the size: readers ignore what follows a PNG's end.
    const auto paddedPng = [](qint64 size) {
        QByteArray bytes = fixtures::pngImage({4, 4});
        bytes.append(QByteArray(size - bytes.size(), '\0'));
        return bytes;
    };
    const struct
    {
        const char *name;
        qint64 size;
        bool declaresLength;
        bool succeeds;
    } rows[] = {
        {"exactly the cap", cap, true, true},
        {"one byte over, length declared", cap + 1, true, false},
        {"one byte over, length undeclared", cap + 1, false, false},
        {"far over, length undeclared", 2 * cap, false, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        LoaderWorld world;
        Response response = Response::ok(paddedPng(row.size), "image/png");
        response.declaresLength = row.declaresLength;
        world.server.setResponse(imagePath, response);
        const auto result = world.load(world.server.url(imagePath));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->succeeded(), row.succeeds);
        if (!row.succeeds) {
            EXPECT_EQ(result->error().kind(), Kind::downloadTooLarge);
        }
    }
}

TEST(DefaultRemoteImageLoader, endlessAnswerIsReadOnlyJustPastTheCap)
{
    LoaderWorld world;
    using Server = fixtures::HostileHttpServer;
    Server endless({Server::Behaviour::endlessBody, 0, {}}, "image/png",
                   fixtures::pngImage({4, 4}));
    ASSERT_TRUE(endless.listen());
    const auto result = world.load(QUrl(endless.baseUrl() + QStringLiteral("/endless.png")));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->error().kind(), Kind::downloadTooLarge);
    const qint64 oneMiB = 1024 * 1024;
    EXPECT_LE(world.session.largestDownload(),
              DefaultRemoteImageLoader::maximumDownloadBytes + oneMiB);
    EXPECT_EQ(endless.requestCount(), 1);
    EXPECT_TRUE(fixtures::waitUntil([&] { return endless.openConnections() == 0; }));
    // One that inflates a thousandfold ends once Qt refuses to inflate it further, not when
    // the transfer has been silent a while (here longer than the wait for the outcome).
    DefaultRemoteImageLoaderTesting::setMaximumSilence(world.loader,
                                                       4 * fixtures::outcomeDeadline);
    Server bomb(Server::Behaviour::gzipBomb);
    ASSERT_TRUE(bomb.listen());
    const auto inflated = world.load(QUrl(bomb.baseUrl() + QStringLiteral("/bomb.png")));
    ASSERT_TRUE(inflated && !inflated->succeeded());
    EXPECT_TRUE(fixtures::waitUntil([&] { return bomb.openConnections() == 0; }));
}

TEST(DefaultRemoteImageLoader, transferThatNeverEndsFailsInTimeAndFreesItsConnection)
{
    LoaderWorld world;
    DefaultRemoteImageLoaderTesting::setMaximumTransferTime(world.loader,
                                                            std::chrono::milliseconds(300));
    // As many pictures as Qt keeps connections to one host, each sent a byte at a time for
    // ever and asked twice.
    constexpr int connectionsPerHost = 6;
    Response trickled = png();
    trickled.declaresLength = false;
    trickled.trickleInterval = std::chrono::milliseconds(20);
    int failed = 0;
    for (int i = 0; i < 2 * connectionsPerHost; ++i) {
        const QString path = QStringLiteral("/slow%1.png").arg(i / 2);
        world.server.setResponse(path, trickled);
        world.loader.image(world.server.url(path), {}, nullptr, [&](const auto &result) {
            failed += !result.succeeded() && result.error().kind() == Kind::transferFailed;
        });
    }
    ASSERT_TRUE(fixtures::waitUntil([&] { return failed == 2 * connectionsPerHost; }));

    // Their host has a connection for the next picture.
    DefaultRemoteImageLoaderTesting::setMaximumTransferTime(world.loader,
                                                            fixtures::outcomeDeadline);
    world.server.setResponse(imagePath, png());
    const auto drawn = world.load(world.server.url(imagePath));
    EXPECT_TRUE(drawn && drawn->succeeded());
}

TEST(DefaultRemoteImageLoader, picturesWaitingForAConnectionWaitWhileTheirHostIsHeardOf)
{
    using namespace std::chrono_literals;
    LoaderWorld world;
    DefaultRemoteImageLoaderTesting::setMaximumSilence(world.loader, 1500ms);
    // Two more pictures of one host than Qt keeps connections to it.
    constexpr int pictures = 8;
    int drawn = 0;
    int failed = 0;
    const auto ask = [&](const QString &path) {
        world.loader.image(world.server.url(path), {}, nullptr, [&](const auto &result) {
            ++(result.succeeded() ? drawn : failed);
        });
    };
    // Each is sent over 3 s, in pieces a tenth of the silence apart (on a busy machine too):
    // the last two wait for a connection twice as long as a transfer may be silent.
    Response slow = png();
    slow.sentOver = 3s;
    for (int i = 0; i < pictures; ++i) {
        world.server.setResponse(QStringLiteral("/slow%1.png").arg(i), slow);
        ask(QStringLiteral("/slow%1.png").arg(i));
    }
    ASSERT_TRUE(fixtures::waitUntil([&] { return drawn + failed == pictures; }));
    EXPECT_EQ(drawn, pictures);
    for (int i = 0; i < pictures; ++i)
        EXPECT_EQ(world.server.requestCount(QStringLiteral("/slow%1.png").arg(i)), 1) << i;

    // A host silent on every connection fails those waiting for one too.
    DefaultRemoteImageLoaderTesting::setMaximumSilence(world.loader, 300ms);
    world.server.setResponse(imagePath, png());
    world.server.hold(imagePath);
    drawn = failed = 0;
    for (int i = 0; i < pictures; ++i)
        ask(imagePath + QStringLiteral("?%1").arg(i));
    EXPECT_TRUE(fixtures::waitUntil([&] { return failed == pictures; }));
}

TEST(DefaultRemoteImageLoader, picturesOfHostsThatNeverAnswerFailInTimeHoweverManyAreAsked)
{
    using namespace std::chrono_literals;
    LoaderWorld world;
    // Long enough that a busy machine keeps the bound of twice the silence.
    constexpr std::chrono::milliseconds silence = 3s;
    DefaultRemoteImageLoaderTesting::setMaximumSilence(world.loader, silence);
    // Hosts that read each request and never answer it, one of them once it has set up an
    // encrypted session, as a front end does for a server behind it that hangs.
    LocalHttpServer plain;
    LocalHttpServer encrypted;
    ASSERT_TRUE(plain.listen());
    ASSERT_TRUE(encrypted.listenEncrypted());
    LocalHttpServer *const hosts[] = {&plain, &encrypted};
    // Four times as many pictures of each host as Qt keeps connections to it, one of each a
    // fifteenth of the silence apart (a second apart against 15 s), far faster than silent
    // connections are given up: most wait for one.
    constexpr int pictures = 24;
    constexpr std::chrono::milliseconds askedEvery = silence / 15;
    constexpr int asked = int(std::size(hosts)) * pictures;
    int done = 0;
    QTimer asking;
    asking.setInterval(askedEvery);
    QObject::connect(&asking, &QTimer::timeout, [&, next = 0]() mutable {
        for (LocalHttpServer *host : hosts) {
            const int i = next++;
            const QString path = QStringLiteral("/silent%1.png").arg(i);
            host->hold(path);
            QElapsedTimer since;
            since.start();
            world.loader.image(host->url(path), {}, nullptr, [&, i, since](const auto &result) {
                EXPECT_TRUE(!result.succeeded() && result.error().kind() == Kind::transferFailed)
                    << i;
                EXPECT_LT(since.elapsed(), 2 * silence.count()) << i;
                ++done;
            });
        }
        if (next == asked)
            asking.stop();
    });
    asking.start();
    ASSERT_TRUE(fixtures::waitUntil([&] { return done == asked; },
                                    pictures * silence + fixtures::outcomeDeadline));
    // Each asked of its host once at most, whether or not it waited.
    for (int i = 0; i < asked; ++i) {
        const QString path = QStringLiteral("/silent%1.png").arg(i);
        EXPECT_LE(hosts[i % std::size(hosts)]->requestCount(path), 1) << i;
    }
}

TEST(DefaultRemoteImageLoader, compressedTransferInflatingPastTheCapIsAbandoned)
{
    LoaderWorld world;
    // Padding of four symbols compresses about fourfold: a quarter of the cap on the wire, and
    // below the ratio at which Qt's network stack gives up on a compressed body by itself.
    QByteArray bytes = fixtures::pngImage({4, 4});
    QRandomGenerator random(21);
    const qsizetype imageBytes = bytes.size();
    bytes.resize(imageBytes + DefaultRemoteImageLoader::maximumDownloadBytes);
    for (qsizetype i = imageBytes; i < bytes.size(); ++i)
        bytes[i] = "abcd"[random.bounded(4)];
    // qCompress writes a zlib stream after a length prefix of its own.
    const QByteArray deflated = qCompress(bytes, 1).mid(4);
    ASSERT_LT(deflated.size(), DefaultRemoteImageLoader::maximumDownloadBytes / 2);
    Response response = Response::ok(deflated, "image/png");
    response.headers.append({QByteArray("Content-Encoding"), QByteArray("deflate")});
    world.server.setResponse(imagePath, response);
    const auto result = world.load(world.server.url(imagePath));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->error().kind(), Kind::downloadTooLarge)
        << result->error().message().toStdString();
}

TEST(DefaultRemoteImageLoader, followsRedirectsOnlyToHttp)
{
    LoaderWorld world;
    const QUrl secret = world.writeFile(QStringLiteral("secret.png"), fixtures::pngImage({2, 2}));
    world.server.setResponse(QStringLiteral("/moved.png"), Response::redirect("/image.png"));
    world.server.setResponse(imagePath, png({7, 7}));
    world.server.setResponse(QStringLiteral("/to-file.png"),
                             Response::redirect(secret.toEncoded()));
    world.server.setResponse(QStringLiteral("/to-ftp.png"),
                             Response::redirect("ftp://127.0.0.1/image.png", 301));

    const auto moved = world.load(world.server.url(QStringLiteral("/moved.png")));
    ASSERT_TRUE(moved && moved->succeeded());
    EXPECT_EQ(moved->image().size(), QSize(7, 7));
    // The picture it led to, kept under the address asked as well, is found there afresh.
    const auto movedAgain = world.loadAfresh(world.server.url(QStringLiteral("/moved.png")));
    ASSERT_TRUE(movedAgain && movedAgain->succeeded());
    EXPECT_EQ(movedAgain->image().size(), QSize(7, 7));

    // Even with the file's own folder as image base: a server never reaches the disk.
    for (const QString &path : {QStringLiteral("/to-file.png"), QStringLiteral("/to-ftp.png")}) {
        SCOPED_TRACE(path.toStdString());
        const auto refused = world.load(world.server.url(path), world.folderURL());
        ASSERT_TRUE(refused);
        EXPECT_FALSE(refused->succeeded());
        EXPECT_EQ(refused->error().kind(), Kind::redirectRefused);
    }
    EXPECT_FALSE(world.cache.image(secret));
}

TEST(DefaultRemoteImageLoader, walksARedirectChainHopByHopToItsPicture)
{
    // Hosts: this one by its address and by another name, one over https, and a plain one
    // that every step down from https would reach.
    enum Host { plain, plainByName, secure, downgraded };
    struct Hop
    {
        Host host;
        int status;
        bool relative = false;
    };
    const int most = DefaultRemoteImageLoader::maximumRedirects;
    // As many hops as allowed, every code, plain http up to https on the way.
    const auto mostHops = [](int count) {
        QList<Hop> hops;
        const int codes[] = {301, 302, 303, 307, 308};
        for (int i = 0; i < count; ++i)
            hops.append({i < count / 2 ? plain : secure, codes[i % 5], i == 1});
        return hops;
    };
    const struct
    {
        const char *name;
        QList<Hop> hops;
        Host target;
        std::optional<Kind> error = {};
        int loopsTo = -1; // the hop the last one leads back to, instead of the picture
        // Every absolute address, the one asked first, names a user and password.
        bool credentials = false;
    } rows[] = {
        {"302 then 308, one relative", {{plain, 302, true}, {plain, 308}}, plain},
        {"301, 302 and 307 by another host name",
         {{plain, 301}, {plainByName, 302}, {plainByName, 307, true}},
         plain},
        {"up from http to https", {{plain, 301}, {secure, 302}}, secure},
        {"302 then 307, each address with a password", {{plain, 302}, {plain, 307}}, plain, {},
         -1, true},
        {"as many as allowed, mixed", mostHops(most), secure},
        {"one more than allowed", mostHops(most + 1), secure, Kind::tooManyRedirects},
        {"a loop", {{plain, 302}, {plain, 307}, {plain, 301}}, plain, Kind::redirectLoop, 0},
        {"https to http", {{secure, 302}}, downgraded, Kind::redirectRefused},
        {"https to https to http", {{secure, 301}, {secure, 302}}, downgraded,
         Kind::redirectRefused},
        {"http to https to http", {{plain, 302}, {secure, 307}}, downgraded,
         Kind::redirectRefused},
    };
    ASSERT_TRUE(QSslSocket::supportsSsl());
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        LoaderWorld world;
        LocalHttpServer secureServer;
        LocalHttpServer downgradedServer;
        ASSERT_TRUE(secureServer.listenEncrypted());
        ASSERT_TRUE(downgradedServer.listen());
        LocalHttpServer *const servers[] = {&world.server, &world.server, &secureServer,
                                            &downgradedServer};
        const auto urlOf = [&](Host host, const QString &path) {
            QUrl url = servers[host]->url(path, host == plainByName ? QStringLiteral("localhost")
                                                                    : QString());
            if (row.credentials)
                url.setUserInfo(QStringLiteral("reader:s3cret"));
            return url;
        };
        QList<QUrl> chain;
        for (qsizetype i = 0; i < row.hops.size(); ++i)
            chain.append(urlOf(row.hops[i].host, QStringLiteral("/hop%1").arg(i)));
        const QUrl picture = urlOf(row.target, QStringLiteral("/picture.png"));
        servers[row.target]->setResponse(QStringLiteral("/picture.png"), png({7, 5}));
        for (qsizetype i = 0; i < row.hops.size(); ++i) {
            const bool last = i + 1 == row.hops.size();
            const QUrl next = !last ? chain[i + 1] : row.loopsTo >= 0 ? chain[row.loopsTo]
                                                                       : picture;
            servers[row.hops[i].host]->setResponse(
                chain[i].path(),
                Response::redirect(row.hops[i].relative ? next.path().toUtf8()
                                                        : next.toEncoded(),
                                   row.hops[i].status));
        }
        const auto requestsAt = [&](Host host, const QUrl &url) {
            return servers[host]->requestCount(url.path());
        };

        const auto outcome = world.load(chain.first());
        ASSERT_TRUE(outcome);
        if (!row.error) {
            ASSERT_TRUE(outcome->succeeded()) << outcome->error().message().toStdString();
            EXPECT_EQ(outcome->image().size(), QSize(7, 5));
        } else {
            ASSERT_FALSE(outcome->succeeded());
            EXPECT_EQ(outcome->error().kind(), *row.error);
        }
        // Each hop asked once, the picture once where it was reached, and a refused walk
        // ended within the hops allowed.
        for (qsizetype i = 0; i < chain.size() && i <= most; ++i)
            EXPECT_EQ(requestsAt(row.hops[i].host, chain[i]), 1) << "hop " << i;
        EXPECT_EQ(requestsAt(row.target, picture), row.error ? 0 : 1);
        EXPECT_LE(world.server.requests().size() + secureServer.requests().size(), most + 1);
        EXPECT_TRUE(downgradedServer.requests().isEmpty());
        EXPECT_FALSE(world.storedFilesHold("s3cret"));
        if (row.error) {
            for (const QUrl &address : chain + QList<QUrl>{picture})
                EXPECT_FALSE(world.responses().metaData(address).isValid())
                    << address.toString().toStdString();
            continue;
        }
        // The next run finds the picture where the walk led, without asking again.
        const auto again = world.loadAfresh(chain.first());
        ASSERT_TRUE(again && again->succeeded());
        EXPECT_EQ(again->image().size(), QSize(7, 5));
        EXPECT_EQ(requestsAt(row.hops.first().host, chain.first()), 1);
        EXPECT_EQ(requestsAt(row.target, picture), 1);
    }
}

TEST(DefaultRemoteImageLoader, decompressionBombIsRefused)
{
    LoaderWorld world;
    const QByteArray bomb = fixtures::pngDeclaringSize({100000, 100000});
    ASSERT_LT(bomb.size(), 4096);
    world.server.setResponse(imagePath, Response::ok(bomb, "image/png"));
    const auto result = world.load(world.server.url(imagePath));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->error().kind(), Kind::imageTooLarge);
}

TEST(DefaultRemoteImageLoader, svgBadgeIsDecoded)
{
    if (!svgSupported())
        GTEST_SKIP() << "Qt's SVG image plug-in (libqt6svg6) is not installed";
    LoaderWorld world;
    world.server.setResponse(QStringLiteral("/badge.svg"),
                             Response::ok(fixtures::svgImage({90, 20}), "image/svg+xml"));
    const auto result = world.load(world.server.url(QStringLiteral("/badge.svg")));
    ASSERT_TRUE(result && result->succeeded());
    EXPECT_EQ(result->image().size(), QSize(90, 20));
}

TEST(DefaultRemoteImageLoader, destructionAbandonsTheDrawingInProgress)
{
    if (!svgSupported())
        GTEST_SKIP() << "Qt's SVG image plug-in (libqt6svg6) is not installed";
    auto world = std::make_unique<LoaderWorld>(unboundedDrawing());
    const QString path = QStringLiteral("/costly.svg");
    world->server.setResponse(path, costlySvg());
    bool called = false;
    world->loader.image(world->server.url(path), {}, nullptr,
                        [&](const RemoteImageResult &) { called = true; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return world->server.requestCount(path) == 1; }));
    // Time for the answer to arrive and its drawing to begin.
    fixtures::processEventsFor(std::chrono::milliseconds(500));

    QElapsedTimer destruction;
    destruction.start();
    world.reset();
    EXPECT_LT(destruction.elapsed(), fixtures::outcomeDeadline.count());
    EXPECT_FALSE(called);
}

TEST(DefaultRemoteImageLoader, waitingPicturesHoldBoundedBytesAndTheOneInViewGoesFirst)
{
    if (!svgSupported())
        GTEST_SKIP() << "Qt's SVG image plug-in (libqt6svg6) is not installed";
    LoaderWorld world;
    // Far more pictures than decode at once, each some hundredths of a second of drawing, and
    // room in memory for the bytes of two of them.
    constexpr int count = 24;
    const QByteArray drawing = fixtures::svgOfCoveringCircles({250, 250}, 190);
    DefaultRemoteImageLoaderTesting::setMaximumBytesWaiting(world.loader, 2 * drawing.size());
    QList<int> finished;
    qsizetype mostHeld = 0;
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("/drawing%1.svg").arg(i);
        world.server.setResponse(path, Response::ok(drawing, "image/svg+xml"));
        world.loader.image(world.server.url(path), {}, nullptr,
                           [&, i](const RemoteImageResult &result) {
                               EXPECT_TRUE(result.succeeded()) << i;
                               finished.append(i);
                               mostHeld = std::max(mostHeld, DefaultRemoteImageLoaderTesting::
                                                                 bytesWaiting(world.loader));
                           });
    }
    // The view shows the picture asked last.
    world.loader.drawing(world.server.url(QStringLiteral("/drawing%1.svg").arg(count - 1)));
    ASSERT_TRUE(fixtures::waitUntil([&] { return finished.size() == count; }));
    EXPECT_LE(mostHeld, 2 * drawing.size());
    // It goes as soon as it has come: before those still waiting, at most a download later.
    EXPECT_LT(finished.indexOf(count - 1), count / 2) << finished.size();
}

TEST(DefaultRemoteImageLoader, costlyDrawingsDoNotHoldUpOtherImages)
{
    if (!svgSupported())
        GTEST_SKIP() << "Qt's SVG image plug-in (libqt6svg6) is not installed";
    LoaderWorld world(unboundedDrawing());
    int costlyOutcomes = 0;
    // More costly pictures than there are threads to decode with.
    const int costlyCount = DefaultRemoteImageLoader::decodeThreadCount + 1;
    for (int i = 0; i < costlyCount; ++i) {
        const QString path = QStringLiteral("/costly%1.svg").arg(i);
        world.server.setResponse(path, costlySvg());
        world.loader.image(world.server.url(path), {}, nullptr,
                           [&](const RemoteImageResult &) { ++costlyOutcomes; });
    }
    ASSERT_TRUE(
        fixtures::waitUntil([&] { return world.server.requests().size() == costlyCount; }));
    fixtures::processEventsFor(std::chrono::milliseconds(500));

    world.server.setResponse(imagePath, png({5, 5}));
    const auto small = world.load(world.server.url(imagePath));
    ASSERT_TRUE(small);
    EXPECT_TRUE(small->succeeded());
    EXPECT_EQ(costlyOutcomes, 0);
}

// Asks for each of `pictures`, and once all of them are downloaded (decoding, or waiting for
// a thread) for a small picture, which is drawn; returns their outcomes once all have come.
QList<RemoteImageResult> smallPictureDrawnAfter(LoaderWorld &world,
                                                const QList<QByteArray> &pictures)
{
    // Shared with the completions, which may come after a wait that gave up.
    const auto outcomes =
        std::make_shared<QList<std::optional<RemoteImageResult>>>(pictures.size());
    for (int i = 0; i < pictures.size(); ++i) {
        EXPECT_LT(pictures[i].size(), DefaultRemoteImageLoader::maximumDownloadBytes);
        const QString path = QStringLiteral("/picture%1").arg(i);
        world.server.setResponse(path, Response::ok(pictures[i], "image/png"));
        world.loader.image(world.server.url(path), {}, nullptr,
                           [outcomes, i](const RemoteImageResult &result) {
                               (*outcomes)[i] = result;
                           });
    }
    EXPECT_TRUE(fixtures::waitUntil(
        [&] { return world.session.completedDownloads() == pictures.size(); }));

    world.server.setResponse(imagePath, png({5, 5}));
    const auto small = world.load(world.server.url(imagePath));
    EXPECT_TRUE(small && small->succeeded());
    EXPECT_TRUE(fixtures::waitUntil([&] {
        return std::all_of(outcomes->begin(), outcomes->end(),
                           [](const auto &outcome) { return outcome.has_value(); });
    }));
    QList<RemoteImageResult> results;
    for (const std::optional<RemoteImageResult> &outcome : *outcomes)
        results.append(outcome.value_or(RemoteImageError{Kind::transferFailed, {}}));
    return results;
}

TEST(DefaultRemoteImageLoader, pngDataPastTheLastRowHoldsUpNoOtherImage)
{
    LoaderWorld world;
    // Under the download cap: about a minute of inflating each for a reader that goes on to
    // the end of the data, and four keep both decoding threads busy with two waiting.
    constexpr qint64 pastTheRows = qint64(15) << 30;
    const struct
    {
        QSize size;
        int bitsPerChannel;
    } bombs[] = {{{256, 4}, 8}, {{256, 4}, 16}, {{1024, 1024}, 8}, {{1024, 1024}, 16}};
    QList<QByteArray> pictures;
    for (const auto &[size, bitsPerChannel] : bombs)
        pictures.append(fixtures::pngWithImageData(
            size, bitsPerChannel, fixtures::pngRowBytes(size, bitsPerChannel) + pastTheRows));
    const QList<RemoteImageResult> outcomes = smallPictureDrawnAfter(world, pictures);
    for (int i = 0; i < outcomes.size(); ++i) {
        EXPECT_TRUE(outcomes[i].succeeded());
        EXPECT_EQ(outcomes[i].image().size(), bombs[i].size);
    }
}

// Pictures of minutes of Qt's decoding each, the picture under the download cap: a JPEG of
// ten thousand scans, a GIF whose codes name strings of thousands of pixels past its frame of
// one, an icon holding a PNG whose data goes on for 15 GiB past its rows, and an SVG holding
// PNG files of a gibibyte past their rows and the GIF.
QList<QByteArray> hostilePictures()
{
    const auto pngBomb = [](QSize size, qint64 past) {
        return fixtures::pngWithImageData(size, 8, fixtures::pngRowBytes(size, 8) + past);
    };
    const QByteArray gif = fixtures::gifOfLongestStrings(4 * 1024 * 1024);
    return {fixtures::progressiveJpeg({2048, 2048}, 10000), gif,
            fixtures::iconHolding(pngBomb({1024, 1024}, qint64(15) << 30), {1024, 1024}),
            fixtures::svgEmbedding({pngBomb({64, 64}, qint64(1) << 30),
                                    pngBomb({64, 64}, qint64(1) << 30), gif})};
}

TEST(DefaultRemoteImageLoader, hostilePicturesOfEachFormatHoldUpNoOtherImage)
{
    LoaderWorld world;
    const QList<RemoteImageResult> outcomes = smallPictureDrawnAfter(world, hostilePictures());
    ASSERT_EQ(outcomes.size(), 4);
    // The icon's picture is drawn from its rows; the rest would cost more than their size.
    EXPECT_EQ(outcomes[2].image().size(), QSize(1024, 1024));
    for (const int refused : {0, 1, 3}) {
        ASSERT_FALSE(outcomes[refused].succeeded()) << refused;
        EXPECT_EQ(outcomes[refused].error().kind(), Kind::imageTooComplex) << refused;
    }
}

TEST(DefaultRemoteImageLoader, destructionKillsTheDecodingProcessesOfItsPictures)
{
    if (!svgSupported())
        GTEST_SKIP() << "Qt's SVG image plug-in (libqt6svg6) is not installed";
    PictureDecoderPool &pool = PictureDecoderPool::shared();
    auto world = std::make_unique<LoaderWorld>(unboundedDrawing());
    // Four pictures of a minute of drawing each: three decode, one waits.
    int outcomes = 0;
    for (int i = 0; i < 4; ++i) {
        const QString path = QStringLiteral("/costly%1.svg").arg(i);
        world->server.setResponse(path, costlySvg());
        world->loader.image(world->server.url(path), {}, nullptr,
                            [&](const RemoteImageResult &) { ++outcomes; });
    }
    ASSERT_TRUE(fixtures::waitUntil([&] {
        return int(PictureDecoderPoolTesting::busy(pool).size())
               == PictureDecoderPool::maximumProcesses;
    }));
    const std::set<pid_t> decoding = PictureDecoderPoolTesting::busy(pool);

    world.reset();
    EXPECT_EQ(outcomes, 0);
    // Killed and reaped before the destruction returned.
    for (const pid_t pid : decoding)
        EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(pid))) << pid;
    EXPECT_TRUE(PictureDecoderPoolTesting::busy(pool).empty());
}

TEST(DefaultRemoteImageLoader, readsFilesOnlyInsideTheImageFolder)
{
    LoaderWorld world;
    const QUrl inside = world.writeFile(QStringLiteral("docs/images/a.png"),
                                        fixtures::pngImage({5, 2}));
    const QUrl outside = world.writeFile(QStringLiteral("private/key.png"),
                                         fixtures::pngImage({5, 2}));
    const QString linkPath = world.folder.filePath(QStringLiteral("docs/images/link.png"));
    ASSERT_TRUE(QFile::link(outside.toLocalFile(), linkPath));
    const QUrl docs = world.folderURL(QStringLiteral("docs"));
    const QUrl escaping = QUrl::fromLocalFile(world.folder.filePath(
        QStringLiteral("docs/images/../../private/key.png")));
    // Opening a pipe waits for a writer: one is let in at the end, whatever the loader did.
    const QString pipe = world.folder.filePath(QStringLiteral("docs/images/pipe.png"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const auto releasePipe = qScopeGuard([&pipe] {
        const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    });

    const struct
    {
        const char *name;
        QUrl url;
        QUrl base;
        bool succeeds;
    } rows[] = {
        {"file under the image folder", inside, docs, true},
        {"the same file without an image folder", inside, {}, false},
        {"file beside the image folder", outside, docs, false},
        {"dot-dot out of the image folder", escaping, docs, false},
        {"link out of the image folder", QUrl::fromLocalFile(linkPath), docs, false},
        {"image folder is a file", inside, inside, false},
        {"ftp", QUrl(QStringLiteral("ftp://127.0.0.1/a.png")), docs, false},
        {"data", QUrl(QStringLiteral("data:image/png;base64,AAAA")), docs, false},
        {"relative", QUrl(QStringLiteral("images/a.png")), docs, false},
        {"pipe under the image folder", QUrl::fromLocalFile(pipe), docs, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = world.load(row.url, row.base);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->succeeded(), row.succeeds);
        if (!row.succeeds) {
            EXPECT_EQ(result->error().kind(), Kind::urlRefused);
        }
    }
}

TEST(DefaultRemoteImageLoader, cachedFileIsNotServedToADocumentWithoutItsFolder)
{
    LoaderWorld world;
    const QUrl file = world.writeFile(QStringLiteral("a.png"), fixtures::pngImage({2, 2}));
    ASSERT_TRUE(world.load(file, world.folderURL())->succeeded());
    EXPECT_EQ(world.load(file)->error().kind(), Kind::urlRefused);
}

TEST(DefaultRemoteImageLoader, sharedLoaderLoadsAndKeepsItsResponsesInTheUserCacheFolder)
{
    LoaderWorld world;
    fixtures::ScopedEnvironment environment;
    const QString cacheHome = world.folder.filePath(QStringLiteral("cache"));
    environment.set("XDG_CACHE_HOME", cacheHome.toUtf8());
    DefaultRemoteImageLoader *shared = DefaultRemoteImageLoader::shared();
    ASSERT_EQ(shared, DefaultRemoteImageLoader::shared());
    const auto load = [&](const QString &path) {
        std::optional<RemoteImageResult> outcome;
        DefaultRemoteImageLoader::shared()->image(
            world.server.url(path), {}, nullptr,
            [&](const RemoteImageResult &result) { outcome = result; });
        EXPECT_TRUE(fixtures::waitUntil([&] { return outcome.has_value(); }));
        return outcome;
    };
    const auto keptOnDisk = [&] {
        return QDirIterator(cacheHome, QDir::Files, QDirIterator::Subdirectories).hasNext();
    };

    // No caching headers: kept all the same.
    world.server.setResponse(imagePath, png({9, 3}));
    const std::optional<RemoteImageResult> outcome = load(imagePath);
    ASSERT_TRUE(outcome && outcome->succeeded());
    EXPECT_EQ(outcome->image().size(), QSize(9, 3));
    EXPECT_EQ(world.server.requests().first().headers.value("accept"), "image/*");
    EXPECT_TRUE(DefaultRemoteImageCache::shared().image(world.server.url(imagePath)));
    EXPECT_TRUE(keptOnDisk());

    // The user's cache emptied while the program runs: the next picture is kept all the same.
    ASSERT_TRUE(QDir(cacheHome).removeRecursively());
    const QString nextPath = QStringLiteral("/next.png");
    world.server.setResponse(nextPath, png());
    const std::optional<RemoteImageResult> next = load(nextPath);
    ASSERT_TRUE(next && next->succeeded());
    EXPECT_TRUE(keptOnDisk());

    // Its empty folders taken by a cleaner, the deepest first: the picture after the next is
    // kept.
    const auto entries = [&](QDir::Filters filter) {
        QStringList paths;
        for (QDirIterator it(cacheHome, filter, QDirIterator::Subdirectories); it.hasNext();)
            paths.prepend(it.next());
        return paths;
    };
    for (const QString &folder : entries(QDir::Dirs | QDir::NoDotAndDotDot))
        QDir().rmdir(folder);
    const qsizetype kept = entries(QDir::Files).size();
    for (const QString &path : {QStringLiteral("/third.png"), QStringLiteral("/fourth.png")}) {
        world.server.setResponse(path, png());
        ASSERT_TRUE(load(path)->succeeded());
    }
    EXPECT_GT(entries(QDir::Files).size(), kept);
}

} // namespace
} // namespace tolvaran::markdown
