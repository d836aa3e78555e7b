#include "remote_image/DefaultRemoteImageLoader.h"

#include "remote_image/DefaultRemoteImageCache.h"
#include "remote_image/ImageLoadingSession.h"
#include "remote_image/RemoteImageDecoder.h"
#include "remote_image/RemoteImageURLPolicy.h"
#include "remote_image/StoredResponses.h"
#include "remote_image/decoding/PictureDecoderPool.h"

#include <QAbstractNetworkCache>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace tolvaran::markdown {

namespace {

bool isSuccessStatus(int status)
{
    return status >= 200 && status <= 299;
}

// A request answered by the session's disk cache alone, or by the network alone.
QNetworkRequest imageRequest(const QUrl &url, bool fromCache)
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "image/*");
    // Redirects end the reply: the loader walks them itself (RedirectWalk).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // Qt's own choice between the two (PreferCache) serves a stored response only while it is
    // fresh, which one without caching headers never is: each new size of a picture would be
    // downloaded again. A stored response is used whatever its age instead, and the network
    // only when nothing usable is stored; its answer is stored in turn.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         fromCache ? QNetworkRequest::AlwaysCache
                                   : QNetworkRequest::AlwaysNetwork);
    return request;
}

// The answer's body, what was taken as it arrived and the rest, read within the limit; none
// when it passes the limit.
std::optional<QByteArray> wholeBody(QNetworkReply &reply, QByteArray &received)
{
    constexpr qint64 limit = DefaultRemoteImageLoader::maximumDownloadBytes;
    received += reply.read(limit + 1 - received.size());
    if (received.size() > limit)
        return std::nullopt;
    return std::exchange(received, {});
}

// Whether a load that ends in `kind` with an answer the disk cache served was served damage
// (a body that is no picture, a redirect that leads nowhere it may go), which the network may
// well answer whole, rather than a picture refused for what it is.
bool isDamage(RemoteImageErrorKind kind)
{
    switch (kind) {
    case RemoteImageErrorKind::cannotDecodeContentData:
    // Pixels that no loader would have decoded are stored only as damage: a load removes
    // what it cannot decode.
    case RemoteImageErrorKind::imageTooLarge:
    case RemoteImageErrorKind::badServerResponse:
    case RemoteImageErrorKind::redirectRefused:
    case RemoteImageErrorKind::tooManyRedirects:
    case RemoteImageErrorKind::redirectLoop:
        return true;
    default:
        return false;
    }
}

// The host of `url` as Qt groups the connections it keeps: by scheme, name and port.
QString connectionHost(const QUrl &url)
{
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    return url.scheme() + QStringLiteral("://") + url.host() + QLatin1Char(':')
           + QString::number(url.port(defaultPort));
}

} // namespace

DefaultRemoteImageLoader::DefaultRemoteImageLoader(RemoteImageCache &cache,
                                                   QNetworkAccessManager *session,
                                                   QObject *parent,
                                                   RemoteImageDecodeLimits limits)
    : QObject(parent)
    , m_cache(cache)
    , m_session(session)
    , m_limits(limits)
{
    m_idleCollection.setSingleShot(true);
    m_idleCollection.setInterval(PictureDecoderPool::idleLifetime + idleCollectionDelay);
    connect(&m_idleCollection, &QTimer::timeout, this,
            [] { PictureDecoderPool::shared().collectEnded(); });
}

DefaultRemoteImageLoader::~DefaultRemoteImageLoader()
{
    for (Load &load : m_ongoing) {
        if (QNetworkReply *reply = load.reply) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
    }
    m_ongoing.clear();
    // The decoding groups go next: they stop their jobs, which end at once (those not started
    // yet without reading or decoding anything, the others as their processes are killed),
    // and wait for them.
}

DefaultRemoteImageLoader *DefaultRemoteImageLoader::shared()
{
    static QPointer<DefaultRemoteImageLoader> loader;
    if (loader)
        return loader;
    QNetworkAccessManager *session =
        imageLoadingSession(sharedDiskCacheBytes);
    auto *made = new DefaultRemoteImageLoader(DefaultRemoteImageCache::shared(), session,
                                              QCoreApplication::instance());
    session->setParent(made);
    made->m_followsUserCacheFolder = true;
    loader = made;
    return made;
}

void DefaultRemoteImageLoader::image(const QUrl &url, const QUrl &imageBaseURL,
                                     QObject *context, Completion completion)
{
    imageAtSize(url, imageBaseURL, QSize(), context, std::move(completion));
}

void DefaultRemoteImageLoader::imageAtSize(const QUrl &url, const QUrl &imageBaseURL,
                                           QSize maximumSize, QObject *context,
                                           Completion completion)
{
    Waiter waiter{context, context != nullptr, std::move(completion)};
    // The address is checked before the cache is consulted: an image that one document may
    // read from its folder is not thereby readable by a document without that folder.
    const bool network = RemoteImageURLPolicy::isNetworkURL(url);
    const std::optional<QString> file =
        network ? std::nullopt : RemoteImageURLPolicy::permittedFile(url, imageBaseURL);
    if (!network && !file) {
        deliverLater(std::move(waiter), RemoteImageError{RemoteImageErrorKind::urlRefused, {}});
        return;
    }
    const std::optional<DecodedImage> cached = m_cache.image(url);
    const QSize wanted =
        cached ? fittedPictureSize(cached->pictureSize, maximumSize) : QSize();
    if (cached && cached->image.size() == wanted) {
        deliverLater(std::move(waiter), *cached);
        return;
    }
    if (const auto ongoing = m_ongoing.find(url); ongoing != m_ongoing.end()) {
        // One load per address at a time: a caller who wants another size asks again once
        // this one has ended, and most often finds its image in the cache by then. Callers
        // gone meanwhile go now rather than when it ends, so that a document opened again and
        // again while its picture loads leaves none behind.
        ongoing->waiters.removeIf([](const Waiter &joined) { return joined.gone(); });
        ongoing->later.removeIf([](const LaterRequest &joined) { return joined.waiter.gone(); });
        if (ongoing->maximumSize == maximumSize)
            ongoing->waiters.append(std::move(waiter));
        else
            ongoing->later.append({imageBaseURL, maximumSize, std::move(waiter)});
        return;
    }
    const quint64 id = m_nextLoadId++;
    Load &load = m_ongoing[url];
    load.id = id;
    load.walk = RedirectWalk(url, maximumRedirects);
    load.maximumSize = maximumSize;
    load.waiters.append(std::move(waiter));
    if (cached && cached->image.width() >= wanted.width()
        && cached->image.height() >= wanted.height())
        shrinkInBackground(*cached, maximumSize, url, id);
    else if (network)
        startDownload(url, id, asksDiskFirst(load));
    else
        queueDecode(url, id, PictureBytes::ofFile(*file, maximumDownloadBytes), maximumSize);
}

void DefaultRemoteImageLoader::drawing(const QUrl &url)
{
    // Only a load in flight is told: its end forgets it again.
    if (m_ongoing.contains(url))
        m_waitingToDecode.drawing(url);
}

void DefaultRemoteImageLoader::stoppedDrawing(const QUrl &url)
{
    // The queue moves only what it was told is drawn, which a load's end forgets.
    m_waitingToDecode.stoppedDrawing(url);
}

void DefaultRemoteImageLoader::startDownload(const QUrl &url, quint64 id, bool fromCache)
{
    Load &load = m_ongoing[url];
    // Here, where the network's answer is about to be stored, rather than at each call of
    // shared(), which the views make at every paint of a picture that loads.
    if (!fromCache && m_followsUserCacheFolder)
        keepInUserCacheFolder(*m_session);
    QNetworkReply *reply = m_session->get(imageRequest(load.walk.current(), fromCache));
    reply->setReadBufferSize(readBufferBytes);
    load.reply = reply;
    load.fromCache = fromCache;
    load.answered = false;
    load.replyFailed = false;
    load.received.clear();
    load.sent = false;
    load.heard.start();
    load.transferDeadline = QDeadlineTimer(QDeadlineTimer::Forever);
    // The disk cache answers by itself; a transfer from the network is timed by the loader.
    // Qt's own transfer timeout runs from this call, also while the request waits in Qt's
    // queue for one of the six connections Qt keeps to a host: behind slow pictures of the
    // same host, pictures failed that were never asked. Queuing requests here instead, six a
    // host, would count on Qt's count of connections, which HTTP/2 and proxies change. So
    // silence is timed from this call, and only what the host answers breaks it: the answer's
    // headers and each part of its body. A request still waiting has no connection to fall
    // silent on and waits while its host answers on another; it fails only when the whole
    // host has been silent as long (not found, not reached, each connection hanging). The
    // loader's own acts are no sign of the host: a connection is started and a request sent
    // each time an earlier transfer given up frees a connection, and counting them kept a
    // host that never answers from ever looking silent. Nor is a connection made or an
    // encrypted session set up, which come on each new connection too, from the host's
    // system or a front end whatever the server behind does. The total time counts from when
    // the request is sent (markSent).
    if (!fromCache) {
        load.host = connectionHost(load.walk.current());
        // Hosts silent for longer than a silence may last decide nothing more.
        m_hostsHeard.removeIf([this](const auto &host) {
            return host.value().hasExpired(m_maximumSilence.count());
        });
        watchSilence(reply, url, id, m_maximumSilence);
        connect(reply, &QNetworkReply::requestSent, this,
                [this, reply, url, id] { markSent(reply, url, id); });
    }
    // Both checks stop the transfer as soon as it is known to be too large: a declared length
    // before any of the body arrives, the bytes taken so far for bodies of undeclared length.
    // The team client and the updater bound their reads the same way; this library depends on
    // no other of ours, so it keeps these few lines of its own.
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply, url, id] {
        heardFrom(reply, url, id);
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maximumDownloadBytes)
            abandon(url, id, RemoteImageErrorKind::downloadTooLarge);
    });
    connect(reply, &QNetworkReply::readyRead, this,
            [this, reply, url, id] { takeArrivedBytes(reply, url, id); });
    connect(reply, &QNetworkReply::errorOccurred, this,
            [this, reply, url, id] { endAfterError(reply, url, id); });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, url, id] { downloadFinished(reply, url, id); });
}

bool DefaultRemoteImageLoader::asksDiskFirst(const Load &load) const
{
    return m_session->cache() != nullptr && !load.networkOnly;
}

void DefaultRemoteImageLoader::abandon(const QUrl &url, quint64 id, RemoteImageErrorKind kind,
                                       QString detail)
{
    const auto load = m_ongoing.find(url);
    if (load == m_ongoing.end() || load->id != id || load->abandoned)
        return;
    load->abandoned = RemoteImageError{kind, std::move(detail)};
    // Aborting finishes the reply; downloadFinished may run inside this call.
    if (QNetworkReply *reply = load->reply)
        reply->abort();
}

void DefaultRemoteImageLoader::takeArrivedBytes(QNetworkReply *reply, const QUrl &url,
                                                quint64 id)
{
    heardFrom(reply, url, id);
    const auto load = m_ongoing.find(url);
    if (load == m_ongoing.end() || load->id != id || load->abandoned || load->replyFailed)
        return;
    if (load->transferDeadline.hasExpired()) {
        endOverdue(reply, url, id);
        return;
    }
    // Reading empties the reply's buffer, which lets Qt's network thread read on; it reads no
    // more than readBufferBytes ahead, so the count passes the limit by at most that much.
    load->received += reply->read(maximumDownloadBytes + 1 - load->received.size());
    if (load->received.size() > maximumDownloadBytes)
        abandon(url, id, RemoteImageErrorKind::downloadTooLarge);
}

void DefaultRemoteImageLoader::heardFrom(QNetworkReply *reply, const QUrl &url, quint64 id)
{
    const auto load = m_ongoing.find(url);
    if (load == m_ongoing.end() || load->id != id || load->reply != reply || load->fromCache)
        return;
    load->heard.start();
    m_hostsHeard[load->host].start();
    // An answer comes to a request sent, whether or not Qt told of it.
    markSent(reply, url, id);
}

void DefaultRemoteImageLoader::markSent(QNetworkReply *reply, const QUrl &url, quint64 id)
{
    const auto load = m_ongoing.find(url);
    if (load == m_ongoing.end() || load->id != id || load->reply != reply || load->fromCache
        || load->sent)
        return;
    load->sent = true;
    // From now on only its own connection speaks for the host. Its silence goes on from
    // where it stood while it waited, the host's last answer on another connection or when
    // it was asked, not from now: each request sent to a host that never answers would
    // otherwise have a silence of its own before it failed, however long it had waited.
    if (const auto host = m_hostsHeard.constFind(load->host);
        host != m_hostsHeard.cend() && load->heard < *host)
        load->heard = *host;
    // Checked as the answer's bytes arrive, and by a timer too, since the next of them may be
    // minutes away.
    load->transferDeadline = QDeadlineTimer(m_maximumTransferTime);
    // The timers go with the reply, which outlives the loader by a turn of the event loop when
    // the loader goes first: they act only while it is there.
    QTimer::singleShot(m_maximumTransferTime, reply,
                       [self = QPointer(this), reply, url, id] {
                           if (self)
                               self->endOverdue(reply, url, id);
                       });
}

void DefaultRemoteImageLoader::watchSilence(QNetworkReply *reply, const QUrl &url, quint64 id,
                                            std::chrono::milliseconds after)
{
    QTimer::singleShot(after, reply, [self = QPointer(this), reply, url, id] {
        if (self)
            self->endSilent(reply, url, id);
    });
}

void DefaultRemoteImageLoader::endSilent(QNetworkReply *reply, const QUrl &url, quint64 id)
{
    const auto load = m_ongoing.constFind(url);
    if (load == m_ongoing.cend() || load->id != id || load->reply != reply || load->abandoned)
        return;
    auto silence = std::chrono::milliseconds(load->heard.elapsed());
    if (const auto host = m_hostsHeard.constFind(load->host);
        !load->sent && host != m_hostsHeard.cend())
        silence = std::min(silence, std::chrono::milliseconds(host->elapsed()));
    if (silence < m_maximumSilence)
        watchSilence(reply, url, id, m_maximumSilence - silence);
    else
        abandon(url, id, RemoteImageErrorKind::transferFailed,
                QStringLiteral("The transfer was silent for too long"));
}

void DefaultRemoteImageLoader::endOverdue(QNetworkReply *reply, const QUrl &url, quint64 id)
{
    // Like any transfer that fails on the network, it removes nothing stored.
    const auto load = m_ongoing.constFind(url);
    if (load != m_ongoing.cend() && load->reply == reply)
        abandon(url, id, RemoteImageErrorKind::transferFailed,
                QStringLiteral("The transfer took longer than allowed"));
}

void DefaultRemoteImageLoader::endAfterError(QNetworkReply *reply, const QUrl &url, quint64 id)
{
    const auto load = m_ongoing.find(url);
    if (load == m_ongoing.end() || load->id != id || load->reply != reply)
        return;
    // The disk cache's answer ends at once, and an error status once its body has come (taken
    // and counted as any body): Qt ends those itself, and aborting a reply that has its error
    // already makes Qt log a warning, for every broken address in a document.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (load->fromCache || (status.isValid() && !isSuccessStatus(status.toInt())))
        return;
    // Whatever came before the error was taken as it arrived; what follows it is not the
    // body: after a failed inflation Qt passes on the compressed bytes as they come.
    load->replyFailed = true;
    // Qt reports a body that fails to inflate (a compressed answer far larger than what was
    // sent, say) with this signal alone and leaves the transfer open until it has been silent
    // for maximumSilence. Queued, so that an error Qt ends itself (a dropped connection:
    // finished() is on its way) ends as Qt ends it.
    QMetaObject::invokeMethod(
        reply,
        [reply] {
            if (reply->isRunning())
                reply->abort();
        },
        Qt::QueuedConnection);
}

void DefaultRemoteImageLoader::downloadFinished(QNetworkReply *reply, const QUrl &url,
                                                quint64 id)
{
    reply->deleteLater();
    const auto load = m_ongoing.find(url);
    if (load == m_ongoing.end() || load->id != id)
        return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    load->answered = status.isValid();
    if (load->abandoned) {
        finish(url, id, *load->abandoned);
        return;
    }
    const QNetworkReply::NetworkError error = reply->error();
    // From the network, or from the disk cache: a record of where the address led, or a
    // redirect that Qt stored itself.
    if (error == QNetworkReply::NoError && status.isValid()
        && RedirectWalk::isRedirect(status.toInt())) {
        followRedirect(reply, url, id);
        return;
    }
    QAbstractNetworkCache *const responses = m_session->cache();
    const QUrl answering = load->walk.current();
    const bool succeeded = error == QNetworkReply::NoError && status.isValid()
                           && isSuccessStatus(status.toInt());
    std::optional<QByteArray> body =
        succeeded ? wholeBody(*reply, load->received) : std::nullopt;
    if (load->fromCache
        && (!body
            || StoredResponses::isCut(reply->rawHeader("Content-Length"),
                                      reply->rawHeader("Content-Encoding"), body->size()))) {
        // Nothing stored (Qt's content-not-found error), a stored answer that is no picture,
        // or one cut short: the network decides, and its answer replaces what was stored.
        // Where stored redirects led here, the walk goes by the network from its start: the
        // redirects may lead elsewhere by now, and a record keeps no password.
        if (!load->followedFromDisk.isEmpty()) {
            walkAgainFromNetwork(url, id);
            return;
        }
        // Only an answer that was read: removing an address also ends Qt's storing of an
        // answer for it that another load is receiving.
        forgetStored(*load, true);
        startDownload(url, id, false);
        return;
    }
    if (status.isValid() && !isSuccessStatus(status.toInt())) {
        finish(url, id, RemoteImageError{RemoteImageErrorKind::badServerResponse, {}});
        return;
    }
    if (error != QNetworkReply::NoError) {
        finish(url, id, RemoteImageError{RemoteImageErrorKind::transferFailed,
                                         reply->errorString()});
        return;
    }
    if (!status.isValid()) {
        finish(url, id, RemoteImageError{RemoteImageErrorKind::badServerResponse, {}});
        return;
    }
    if (!body) {
        finish(url, id, RemoteImageError{RemoteImageErrorKind::downloadTooLarge, {}});
        return;
    }
    load->reply = nullptr;
    // An answer from the network is stored as it arrives; one cut short as it was stored is
    // dropped now, before anyone can be served it.
    const bool stored = responses
                        && (load->fromCache
                            || StoredResponses::keepOnlyWhole(*responses, answering,
                                                              body->size()));
    // A whole answer from the network that is not stored: one the server said not to store,
    // or one the disk cache could not write, which laying its folder out again may mend.
    if (!stored && !load->fromCache && m_followsUserCacheFolder)
        layOutCacheFolderAgain(*m_session);
    // A record is served without the server: not where the picture itself may not be (the
    // walk would then leave the record for the network at every load).
    if (stored && load->walk.redirected() && load->redirectsRecordable
        && (load->fromCache
            || StoredResponses::mayServeStored(reply->rawHeader("Cache-Control"))))
        load->recordTarget = answering;
    queueDecode(url, id, PictureBytes::held(*std::move(body)), load->maximumSize);
}

void DefaultRemoteImageLoader::followRedirect(QNetworkReply *reply, const QUrl &url, quint64 id)
{
    Load &load = m_ongoing[url];
    const QUrl from = load.walk.current();
    if (const std::optional<RemoteImageError> refused =
            load.walk.follow(reply->rawHeader("Location"))) {
        finish(url, id, *refused);
        return;
    }
    if (load.fromCache)
        load.followedFromDisk.append(from);
    else if (!StoredResponses::mayServeStored(reply->rawHeader("Cache-Control")))
        load.redirectsRecordable = false;
    // The next address may be stored too: by a load of its own, or as the end of another walk.
    startDownload(url, id, asksDiskFirst(load));
}

void DefaultRemoteImageLoader::walkAgainFromNetwork(const QUrl &url, quint64 id)
{
    Load &load = m_ongoing[url];
    forgetStored(load, true);
    load.networkOnly = true;
    load.walk = RedirectWalk(url, maximumRedirects);
    load.followedFromDisk.clear();
    load.redirectsRecordable = true;
    load.recordTarget.reset();
    startDownload(url, id, false);
}

void DefaultRemoteImageLoader::forgetStored(const Load &load, bool answerUnusable)
{
    QAbstractNetworkCache *const responses = m_session->cache();
    if (!responses)
        return;
    QList<QUrl> unusable = load.followedFromDisk;
    if (answerUnusable && load.answered)
        unusable.append(load.walk.current());
    StoredResponses::forget(*responses, unusable);
}

void DefaultRemoteImageLoader::queueDecode(const QUrl &url, quint64 id, PictureBytes bytes,
                                           QSize maximumSize)
{
    waitForDecode({url, id, maximumSize, std::move(bytes), false});
    startDecodes();
}

void DefaultRemoteImageLoader::waitForDecode(DecodeQueue::Picture picture)
{
    m_waitingToDecode.add(std::move(picture));
    const QAbstractNetworkCache *responses = m_session->cache();
    const auto *disk = qobject_cast<const QNetworkDiskCache *>(responses);
    m_waitingToDecode.setAsideBeyond(m_maximumBytesWaiting,
                                     disk ? disk->cacheDirectory() : QDir::tempPath());
}

void DefaultRemoteImageLoader::startDecodes()
{
    while (m_ordinaryDecodes < decodeThreadCount) {
        std::optional<DecodeQueue::Picture> next =
            m_waitingToDecode.takeNext(DecodeQueue::Taker::ordinary);
        if (!next)
            break;
        ++m_ordinaryDecodes;
        runDecode(m_decoding, *std::move(next), false);
    }
    if (!m_costlyDecodeRunning) {
        if (std::optional<DecodeQueue::Picture> next =
                m_waitingToDecode.takeNext(DecodeQueue::Taker::costly)) {
            m_costlyDecodeRunning = true;
            runDecode(m_costlyDecoding, *std::move(next), true);
        }
    }
    // The processes end by themselves once idle for their lifetime; reaped after it.
    if (m_ordinaryDecodes == 0 && !m_costlyDecodeRunning)
        m_idleCollection.start();
}

void DefaultRemoteImageLoader::runDecode(WorkGroup &group, DecodeQueue::Picture picture,
                                         bool costlyThread)
{
    const DecodeRequest request{m_limits, picture.maximumSize, costlyThread};
    group.run(JobPriority::utility, [this, &group, picture = std::move(picture), request,
                                     costlyThread](const WorkContext &context) mutable {
        DecoderOutcome outcome{RemoteImageError{RemoteImageErrorKind::abandoned, {}}};
        if (!context.stopRequested()) {
            auto bytes = picture.bytes.read();
            if (const auto *error = std::get_if<RemoteImageError>(&bytes))
                outcome.result = *error;
            else
                outcome = PictureDecoderPool::shared().decode(std::get<QByteArray>(bytes),
                                                              request, context.stopToken());
        }
        group.post([this, picture = std::move(picture), outcome, costlyThread]() mutable {
            decodeEnded(std::move(picture), outcome, costlyThread);
        });
    });
}

void DefaultRemoteImageLoader::decodeEnded(DecodeQueue::Picture picture,
                                           const DecoderOutcome &outcome, bool costlyThread)
{
    if (costlyThread)
        m_costlyDecodeRunning = false;
    else
        --m_ordinaryDecodes;
    if (outcome.costly) {
        // Its turn on the thread of costly pictures, with its bytes still where they were.
        picture.costly = true;
        waitForDecode(std::move(picture));
    } else {
        finish(picture.url, picture.asked, outcome.result);
    }
    startDecodes();
}

void DefaultRemoteImageLoader::shrinkInBackground(const DecodedImage &image, QSize maximumSize,
                                                  const QUrl &url, quint64 id)
{
    m_decoding.run(JobPriority::utility,
                   [this, image, maximumSize, url, id](const WorkContext &context) {
                       if (!context.stopRequested())
                           finishLater(m_decoding, url, id,
                                       RemoteImageDecoder::fitted(image, maximumSize));
                   });
}

void DefaultRemoteImageLoader::finishLater(WorkGroup &group, const QUrl &url, quint64 id,
                                           const RemoteImageResult &result)
{
    // The group posts only while it lives, and the loader outlives its groups.
    group.post([this, url, id, result] { finish(url, id, result); });
}

void DefaultRemoteImageLoader::finish(const QUrl &url, quint64 id,
                                      const RemoteImageResult &result)
{
    const auto entry = m_ongoing.find(url);
    if (entry == m_ongoing.end() || entry->id != id)
        return;
    // Damage the disk cache served is no reason to fail while the network may answer whole:
    // once, so that an answer as bad from the network ends the load.
    if (!result.succeeded() && entry->fromCache && entry->answered && !entry->networkOnly
        && isDamage(result.error().kind())) {
        walkAgainFromNetwork(url, id);
        return;
    }
    // Removed before anyone hears of the outcome, so that a caller who asks again from its
    // completion starts afresh instead of joining a finished load.
    const Load load = std::move(*entry);
    m_ongoing.erase(entry);
    m_waitingToDecode.forget(url);
    if (result.succeeded()) {
        keepInCache(result.decoded(), url);
        if (QAbstractNetworkCache *responses = m_session->cache(); responses && load.recordTarget)
            StoredResponses::recordRedirect(*responses, url, *load.recordTarget);
    } else {
        // The next request asks the server again, rather than the stored answer that failed
        // (one that did not decode, a redirect refused, say). A transfer that failed on the
        // network, or was abandoned for its size, has stored nothing (Qt drops what it began
        // to store), and what is stored for its address was stored by another load.
        const RemoteImageErrorKind kind = result.error().kind();
        forgetStored(load, load.fromCache
                               || (kind != RemoteImageErrorKind::transferFailed
                                   && kind != RemoteImageErrorKind::downloadTooLarge));
    }
    // Pixels held for the address answer for a larger size while its host fails (a document
    // opened again asks larger than those it showed before), drawn scaled, as they would have
    // answered their own size without the network.
    const std::optional<DecodedImage> held =
        result.succeeded() ? std::nullopt : m_cache.image(url);
    const RemoteImageResult outcome = held ? RemoteImageResult(*held) : result;
    for (const Waiter &waiter : load.waiters)
        deliver(waiter, outcome);
    // Those who wanted another size: a failure, or the pixels held in its place, is theirs
    // too, since the bytes are the same; after a success each asks again, finding the image in
    // the cache or loading it anew.
    for (const LaterRequest &request : load.later) {
        if (!result.succeeded()) {
            deliver(request.waiter, outcome);
        } else if (!request.waiter.gone()) {
            imageAtSize(url, request.imageBaseURL, request.maximumSize, request.waiter.context,
                        request.waiter.completion);
        }
    }
}

void DefaultRemoteImageLoader::keepInCache(const DecodedImage &image, const QUrl &url)
{
    // Pixels shrunk for one caller stay that caller's: a window made narrower and then wider
    // again finds the larger pixels still cached instead of decoding the picture anew. Pixels
    // of another picture (the address now names another) replace them whatever their size.
    const std::optional<DecodedImage> cached = m_cache.image(url);
    if (cached && cached->pictureSize == image.pictureSize
        && (image.image.width() < cached->image.width()
            || image.image.height() < cached->image.height()))
        return;
    m_cache.setImage(image, url);
}

void DefaultRemoteImageLoader::deliverLater(Waiter waiter, const RemoteImageResult &result)
{
    QMetaObject::invokeMethod(
        this, [waiter = std::move(waiter), result] { deliver(waiter, result); },
        Qt::QueuedConnection);
}

void DefaultRemoteImageLoader::deliver(const Waiter &waiter, const RemoteImageResult &result)
{
    if (waiter.gone())
        return;
    if (waiter.completion)
        waiter.completion(result);
}

} // namespace tolvaran::markdown
