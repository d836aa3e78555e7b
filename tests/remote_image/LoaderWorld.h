#pragma once

#include "CountingSession.h"

#include "remote_image/DefaultRemoteImageCache.h"
#include "remote_image/DefaultRemoteImageLoader.h"
#include "remote_image/RemoteImageResult.h"
#include "remote_image/decoding/PictureDecoderPool.h"
#include "remote_image/formats/StoppableDevice.h"
#include "support/network/LocalHttpServer.h"

#include <QTemporaryDir>

class QAbstractNetworkCache;

#include <functional>
#include <optional>

namespace tolvaran::markdown {

// A loader over its own cache and network access, and a local server to load from. Its
// network access keeps responses in a disk cache under the temporary folder, as the shared
// loader's does.
struct LoaderWorld
{
    explicit LoaderWorld(RemoteImageDecodeLimits limits = {},
                         qint64 diskCapacity = DefaultRemoteImageLoader::sharedDiskCacheBytes);

    // Asks the loader for `url` and waits for the outcome (none if it never came).
    std::optional<RemoteImageResult> load(const QUrl &url, const QUrl &imageBaseURL = {},
                                          QSize maximumSize = {});
    // The same through a loader made anew, as the next run makes it: no decoded images, a
    // network access of its own over the same disk cache.
    std::optional<RemoteImageResult> loadAfresh(const QUrl &url);

    // Writes `bytes` to `relativePath` under the temporary folder; returns its file URL.
    QUrl writeFile(const QString &relativePath, const QByteArray &bytes);
    QUrl folderURL(const QString &relativePath = {}) const;
    // The disk cache's folder, and the cache.
    QString responseFolder() const;
    QAbstractNetworkCache &responses() const;
    // Rewrites the file on disk that stores the answer for `url`: `change` gets the whole
    // file and where the answer's body begins in it. False when nothing is stored for it.
    using FileChange = std::function<void(QByteArray &file, qsizetype bodyStart)>;
    bool changeStoredFile(const QUrl &url, const FileChange &change);
    // Whether any file of the disk cache holds `bytes`.
    bool storedFilesHold(const QByteArray &bytes) const;
    // From now on the disk cache keeps `fraction` of each answer's body it stores.
    void cutWhatIsStored(double fraction);

    const qint64 diskCapacity;
    fixtures::LocalHttpServer server;
    DefaultRemoteImageCache cache{DefaultRemoteImageCache::sharedCountLimit};
    CountingSession session;
    DefaultRemoteImageLoader loader;
    QTemporaryDir folder;
};

// Whether the Qt SVG image plug-in is installed.
bool svgSupported();

// Where the test program is started again as a program that decodes in the decoding processes
// until it ends (PictureDecoderPoolTest): how it ended; none when it was not started so.
std::optional<int> runDecodingProgramIfAsked(int argc, char *argv[]);

class DefaultRemoteImageLoaderTesting
{
public:
    // Transfers that `loader` starts from now on end as failed once `limit` has passed.
    static void setMaximumTransferTime(DefaultRemoteImageLoader &loader,
                                       std::chrono::milliseconds limit)
    {
        loader.m_maximumTransferTime = limit;
    }
    // The downloaded bytes that pictures waiting for their decode may hold in memory.
    static void setMaximumBytesWaiting(DefaultRemoteImageLoader &loader, qsizetype bytes)
    {
        loader.m_maximumBytesWaiting = bytes;
    }
    static qsizetype bytesWaiting(const DefaultRemoteImageLoader &loader)
    {
        return loader.m_waitingToDecode.heldBytes();
    }
    // Transfers of `loader` end as failed once silent for `limit`, from the next check on.
    static void setMaximumSilence(DefaultRemoteImageLoader &loader,
                                  std::chrono::milliseconds limit)
    {
        loader.m_maximumSilence = limit;
    }
};

class PictureDecoderPoolTesting
{
public:
    static std::unique_ptr<PictureDecoderPool> make(DecoderProcessLimits limits)
    {
        return std::unique_ptr<PictureDecoderPool>(new PictureDecoderPool(limits));
    }
    static DecoderProcessLimits defaults()
    {
        return {PictureDecoderPool::cpuTimePerPicture, PictureDecoderPool::memoryPerProcess,
                PictureDecoderPool::idleLifetime, PictureDecoderPool::timePerPicture};
    }
    // The processes decoding now, and those waiting for a picture.
    static std::set<pid_t> busy(PictureDecoderPool &pool)
    {
        const std::lock_guard lock(pool.m_mutex);
        return pool.m_busyProcesses;
    }
    static std::vector<pid_t> idle(PictureDecoderPool &pool)
    {
        const std::lock_guard lock(pool.m_mutex);
        std::vector<pid_t> processes;
        for (const auto &process : pool.m_idle)
            processes.push_back(process->pid());
        return processes;
    }
};

class StoppableDeviceTesting
{
public:
    // Has `observer` told of every read of Qt's readers, on any thread, from now on.
    static void observeReads(void (*observer)(qint64 bytes))
    {
        StoppableDevice::s_readObserver = observer;
    }
};

} // namespace tolvaran::markdown
