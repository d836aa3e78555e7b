#pragma once

#include "remote_image/DecodeQueue.h"
#include "remote_image/RedirectWalk.h"
#include "remote_image/RemoteImageCache.h"
#include "remote_image/RemoteImageDecodeLimits.h"
#include "remote_image/RemoteImageLoader.h"
#include "remote_image/decoding/PictureDecoderProcess.h"
#include "work/WorkGroup.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <optional>
#include <stop_token>

class QNetworkAccessManager;
class QNetworkReply;

namespace tolvaran::markdown {

// The loader that the views share: looks in its image cache, shares one download among all
// callers who ask for the same URL meanwhile, checks the response, decodes the bytes on a
// worker thread and fills the cache. Lives and is called on the GUI thread; only the transfer
// (done by Qt's network stack) and the decoding (on the loader's own threads) happen
// elsewhere.
//
// Only http(s) images are downloaded, and files only from inside the image base folder
// (RemoteImageURLPolicy). A download that is over maximumDownloadBytes is abandoned, one whose
// host does not answer for maximumSilence (on any connection while it waits for one) or that
// takes longer than maximumTransferTime once its request is sent fails, and an image over the
// limits of RemoteImageDecodeLimits is refused. Failures are not remembered: a URL whose load
// failed is loaded afresh when it is asked for again.
//
// Every picture is decoded in a decoding process (PictureDecoderPool), never here: whatever
// Qt's readers do with a picture costs at most the process's limits, and a crash costs that
// picture alone. Pictures wait for a process in the order of DecodeQueue, those in view
// first; decodeThreadCount threads each hand one at a time to a process, and a thread of its
// own the pictures found costly (RemoteImageDecoder::costlyEstimate), so that they hold up
// no other picture. Downloaded bytes that wait are held in memory up to
// maximumBytesWaitingInMemory, and set aside on disk beyond it, those that go last first.
//
// A caller that names the size it draws at gets the picture decoded to that size
// (fittedPictureSize), and the cache keeps each address at the largest size decoded: a
// request for that size is served from it, one for a smaller size shrinks it for that caller
// alone, one for a larger size loads the picture again.
//
// Downloads go to the session's disk cache first (when it has one) and to the network only
// when it holds nothing usable for the address, so a picture is downloaded once whatever its
// caching headers say, and the next run finds it there too. A stored answer shorter than it
// should be is never used. Redirects are followed one hop at a time, each checked against
// the hop before it (RedirectWalk); where they led to a stored picture, and each of them may
// be served stored (StoredResponses::mayServeStored), a record of where they led is stored
// under the address asked for once the picture has decoded.
//
// What the disk cache serves and cannot be used (a body that does not decode, a redirect that
// leads nowhere it may go, a record whose target is gone) is removed with the stored redirects
// that led to it, and the load walks again at once from the address asked, on the network
// alone: the answer it gets there decides. A load that fails removes only the answer it read
// and could not use, and the stored redirects that led to it; a transfer that fails on the
// network removes nothing, since another load may have stored the same answers meanwhile.
//
// A load that fails where the cache holds pixels of the address (smaller than asked, or they
// would have answered at once) delivers those: a picture is not lost while its host fails.
class DefaultRemoteImageLoader final : public QObject, public RemoteImageLoader
{
    Q_OBJECT

public:
    // The largest image file that is downloaded or read, in bytes.
    static constexpr qint64 maximumDownloadBytes = qint64(16) * 1024 * 1024;
    // What a download may hold unread: Qt's network thread reads ahead of its reader without
    // end unless told, so a limit checked by the reader alone comes too late.
    static constexpr qint64 readBufferBytes = qint64(256) * 1024;
    // Redirects that one download may follow.
    static constexpr int maximumRedirects = 10;
    // Images decoded at the same time, besides one costly image.
    static constexpr int decodeThreadCount = 2;
    // The downloaded bytes that pictures waiting for their decode hold in memory; beyond it,
    // they wait in unlinked files beside the disk cache (in the temporary folder without
    // one). A dozen photos of a camera, against thousands in a document of many pictures.
    static constexpr qsizetype maximumBytesWaitingInMemory = qsizetype(64) * 1024 * 1024;
    // How long after the decoding processes' idle lifetime the ones that ended are reaped.
    static constexpr std::chrono::seconds idleCollectionDelay{1};
    // The shared loader's response cache on disk.
    static constexpr qint64 sharedDiskCacheBytes = qint64(100) * 1024 * 1024;
    // How long a transfer from the network may go without an answer from its host (headers
    // or bytes of the body), from when it is started; a request that waits for a connection
    // to its host, how long the host may go without answering on any of them.
    static constexpr std::chrono::milliseconds maximumSilence{15000};
    // How long one transfer from the network may take in all, from when its request is sent.
    // Silence alone would let a server that sends a byte every few seconds hold its load, and
    // one of the few connections Qt keeps to its host, for months before the size cap ends
    // it. Ten minutes bring the largest download allowed over a link of about 224 kbit/s.
    static constexpr std::chrono::minutes maximumTransferTime{10};

    // Neither the cache nor the session is owned; both must outlive the loader. Starts nothing.
    DefaultRemoteImageLoader(RemoteImageCache &cache, QNetworkAccessManager *session,
                             QObject *parent = nullptr, RemoteImageDecodeLimits limits = {});
    // Abandons the downloads and the decoding, and calls no completion. Returns at once,
    // whatever decodes: the decoding processes of its pictures are killed.
    ~DefaultRemoteImageLoader() override;

    // The process-wide loader over the shared image cache, made on first use as a child of the
    // application object (call it on the GUI thread once the application exists). Its disk
    // cache follows the user's cache folder as it is named when each transfer starts.
    static DefaultRemoteImageLoader *shared();

    void image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
               Completion completion) override;
    void imageAtSize(const QUrl &url, const QUrl &imageBaseURL, QSize maximumSize,
                     QObject *context, Completion completion) override;
    void drawing(const QUrl &url) override;
    void stoppedDrawing(const QUrl &url) override;

private:
    friend class DefaultRemoteImageLoaderTesting;

    struct Waiter
    {
        QPointer<QObject> context;
        bool hasContext = false;
        Completion completion;

        // The caller's context object has been destroyed: the caller is told nothing.
        bool gone() const { return hasContext && !context; }
    };

    // A caller who asked for another size of an image in flight.
    struct LaterRequest
    {
        QUrl imageBaseURL;
        QSize maximumSize;
        Waiter waiter;
    };

    // One image in flight: downloading or reading, then decoding (or shrinking the cached
    // image) to fit within `maximumSize`. Its entry lives until the outcome is known, whatever
    // it is, so later callers join it and none starts a second transfer, and a failure leaves
    // nothing behind.
    struct Load
    {
        quint64 id = 0;
        QSize maximumSize;
        QList<LaterRequest> later;
        QPointer<QNetworkReply> reply;
        // The addresses asked, from the one the load is for to the one asked now.
        RedirectWalk walk{QUrl(), maximumRedirects};
        // Whether the reply in flight, or the one whose body is decoded, is the disk cache's
        // answer.
        bool fromCache = false;
        // Whether the walk's current address answered, from the disk cache or the network (a
        // look in the disk cache that found nothing, or a connection that failed, did not).
        bool answered = false;
        // The walk goes to the network alone: what the disk cache served it was unusable.
        bool networkOnly = false;
        // The stored redirects the walk followed (records among them): what they led to is
        // reached through them alone, so they go where that is unusable.
        QList<QUrl> followedFromDisk;
        // Whether each redirect followed from the network may be served stored, as a record
        // of where it led would be.
        bool redirectsRecordable = true;
        // Where the walk led, stored, to record under the address asked once its picture has
        // been decoded.
        std::optional<QUrl> recordTarget;
        // The reply reported an error: what arrives after it is not the body.
        bool replyFailed = false;
        // The host of the network transfer in flight, as Qt groups its connections; whether
        // its request has gone out; since when its host has not answered on it (since it was
        // started, or once sent the host's last answer while it waited, if later); when it
        // is given up (maximumTransferTime, once sent).
        QString host;
        bool sent = false;
        QElapsedTimer heard;
        QDeadlineTimer transferDeadline;
        QByteArray received;
        std::optional<RemoteImageError> abandoned;
        QList<Waiter> waiters;
    };

    // Asks the disk cache (`fromCache`) or the network for the walk's current address.
    void startDownload(const QUrl &url, quint64 id, bool fromCache);
    // Whether the load asks the disk cache for its next address first.
    bool asksDiskFirst(const Load &load) const;
    // Follows the answer's redirect, asking the next address, or ends the load.
    void followRedirect(QNetworkReply *reply, const QUrl &url, quint64 id);
    // Forgets what the disk cache served the load on its way to an unusable answer, and walks
    // again from the address asked, on the network alone.
    void walkAgainFromNetwork(const QUrl &url, quint64 id);
    // Removes from the disk cache the stored redirects `load` followed, and its current
    // address's answer if `answerUnusable` and it was read.
    void forgetStored(const Load &load, bool answerUnusable);
    void takeArrivedBytes(QNetworkReply *reply, const QUrl &url, quint64 id);
    // Notes an answer of its host on the network transfer `reply` of the load: the headers
    // or some of the body.
    void heardFrom(QNetworkReply *reply, const QUrl &url, quint64 id);
    // Notes that the request of the network transfer `reply` of the load has gone out: its
    // silence is then its own, and its total time runs.
    void markSent(QNetworkReply *reply, const QUrl &url, quint64 id);
    // Checks the load's transfer for silence once `after` has passed, and again until it
    // ends.
    void watchSilence(QNetworkReply *reply, const QUrl &url, quint64 id,
                      std::chrono::milliseconds after);
    // Ends the load as failed if `reply` is still its transfer and it (or, while the request
    // waits for a connection, its whole host) has been silent for maximumSilence; else checks
    // again when it would have been.
    void endSilent(QNetworkReply *reply, const QUrl &url, quint64 id);
    // Ends the load as failed if `reply` is still its transfer: it has taken too long.
    void endOverdue(QNetworkReply *reply, const QUrl &url, quint64 id);
    void endAfterError(QNetworkReply *reply, const QUrl &url, quint64 id);
    void downloadFinished(QNetworkReply *reply, const QUrl &url, quint64 id);
    void abandon(const QUrl &url, quint64 id, RemoteImageErrorKind kind, QString detail = {});
    // Queues the picture's decoding, and starts what may start.
    void queueDecode(const QUrl &url, quint64 id, PictureBytes bytes, QSize maximumSize);
    // Queues `picture`, its bytes and those of the others waiting within the bound.
    void waitForDecode(DecodeQueue::Picture picture);
    // Hands waiting pictures to the decoding threads that are free.
    void startDecodes();
    // Decodes `picture` on a thread of `group`, in a decoding process.
    void runDecode(WorkGroup &group, DecodeQueue::Picture picture, bool costlyThread);
    void decodeEnded(DecodeQueue::Picture picture, const DecoderOutcome &outcome,
                     bool costlyThread);
    // Shrinks a cached image that is larger than the load wants.
    void shrinkInBackground(const DecodedImage &image, QSize maximumSize, const QUrl &url,
                            quint64 id);
    // Hands the outcome to the GUI thread through the group whose job reached it.
    void finishLater(WorkGroup &group, const QUrl &url, quint64 id,
                     const RemoteImageResult &result);
    void finish(const QUrl &url, quint64 id, const RemoteImageResult &result);
    // Caches `image` unless the cache holds larger pixels of the same picture.
    void keepInCache(const DecodedImage &image, const QUrl &url);
    void deliverLater(Waiter waiter, const RemoteImageResult &result);
    static void deliver(const Waiter &waiter, const RemoteImageResult &result);

    RemoteImageCache &m_cache;
    QNetworkAccessManager *const m_session;
    QHash<QUrl, Load> m_ongoing;
    quint64 m_nextLoadId = 1;
    // When each host last answered, on any of its connections. Kept while it may decide the
    // silence of a request waiting for one of them.
    QHash<QString, QElapsedTimer> m_hostsHeard;
    std::chrono::milliseconds m_maximumSilence = maximumSilence;
    std::chrono::milliseconds m_maximumTransferTime = maximumTransferTime;
    qsizetype m_maximumBytesWaiting = maximumBytesWaitingInMemory;
    // The shared loader's disk cache follows the user's cache folder (keepInUserCacheFolder).
    bool m_followsUserCacheFolder = false;
    const RemoteImageDecodeLimits m_limits;
    DecodeQueue m_waitingToDecode;
    // The pictures decoding now on the decoding threads, and on the thread of costly ones.
    int m_ordinaryDecodes = 0;
    bool m_costlyDecodeRunning = false;
    // Reaps the decoding processes that ended idle, once the loader has been idle as long.
    QTimer m_idleCollection;
    // Declared last, so that they go first: their jobs' decoding processes are killed.
    WorkGroup m_costlyDecoding{this, 1};
    WorkGroup m_decoding{this, decodeThreadCount};
};

} // namespace tolvaran::markdown
