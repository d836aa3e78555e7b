#include "LoaderWorld.h"

#include "remote_image/ImageLoadingSession.h"
#include "support/WaitUntil.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>

#include <gtest/gtest.h>

#include <memory>

namespace tolvaran::markdown {

namespace {

// A disk cache whose disk fills as it writes: of each answer it stores, only a part reaches
// the disk, under the answer's own name, as Qt's disk cache leaves it then.
class CuttingDiskCache final : public QNetworkDiskCache
{
public:
    CuttingDiskCache(double fraction, QObject *parent)
        : QNetworkDiskCache(parent)
        , m_fraction(fraction)
    {
    }

    void insert(QIODevice *device) override
    {
        // The body waits in memory, or behind the header in a file of its own.
        if (auto *buffer = qobject_cast<QBuffer *>(device))
            buffer->buffer().resize(qsizetype(double(buffer->size()) * m_fraction));
        else if (auto *file = qobject_cast<QFileDevice *>(device))
            file->resize(qint64(double(file->size()) * m_fraction));
        QNetworkDiskCache::insert(device);
    }

private:
    double m_fraction;
};

} // namespace

LoaderWorld::LoaderWorld(RemoteImageDecodeLimits limits, qint64 capacity)
    : diskCapacity(capacity)
    , loader(cache, &session, nullptr, limits)
{
    EXPECT_TRUE(server.listen());
    EXPECT_TRUE(folder.isValid());
    prepareImageLoadingSession(session, diskCapacity, responseFolder());
}

QString LoaderWorld::responseFolder() const
{
    return folder.filePath(QStringLiteral("responses"));
}

QAbstractNetworkCache &LoaderWorld::responses() const
{
    return *session.cache();
}

bool LoaderWorld::changeStoredFile(const QUrl &url, const FileChange &change)
{
    const std::unique_ptr<QIODevice> body(responses().data(url));
    if (!body)
        return false;
    const qint64 bodyBytes = body->size();
    auto *disk = static_cast<QNetworkDiskCache *>(&responses());
    QDirIterator files(responseFolder(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        if (disk->fileMetaData(path).url() != url)
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite))
            return false;
        QByteArray bytes = file.readAll();
        change(bytes, bytes.size() - bodyBytes);
        return file.seek(0) && file.write(bytes) == bytes.size() && file.resize(bytes.size());
    }
    return false;
}

bool LoaderWorld::storedFilesHold(const QByteArray &bytes) const
{
    QDirIterator files(responseFolder(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(bytes))
            return true;
    }
    return false;
}

void LoaderWorld::cutWhatIsStored(double fraction)
{
    auto *cutting = new CuttingDiskCache(fraction, &session);
    cutting->setCacheDirectory(responseFolder());
    cutting->setMaximumCacheSize(diskCapacity);
    session.setCache(cutting);
}

std::optional<RemoteImageResult> LoaderWorld::load(const QUrl &url, const QUrl &imageBaseURL,
                                                   QSize maximumSize)
{
    std::optional<RemoteImageResult> outcome;
    loader.imageAtSize(url, imageBaseURL, maximumSize, nullptr,
                       [&outcome](const RemoteImageResult &result) { outcome = result; });
    fixtures::waitUntil([&] { return outcome.has_value(); });
    return outcome;
}

std::optional<RemoteImageResult> LoaderWorld::loadAfresh(const QUrl &url)
{
    DefaultRemoteImageCache images(DefaultRemoteImageCache::sharedCountLimit);
    CountingSession network;
    prepareImageLoadingSession(network, diskCapacity, responseFolder());
    DefaultRemoteImageLoader next(images, &network);
    std::optional<RemoteImageResult> outcome;
    next.image(url, {}, nullptr,
               [&outcome](const RemoteImageResult &result) { outcome = result; });
    fixtures::waitUntil([&] { return outcome.has_value(); });
    return outcome;
}

QUrl LoaderWorld::writeFile(const QString &relativePath, const QByteArray &bytes)
{
    const QString path = folder.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return QUrl::fromLocalFile(path);
}

QUrl LoaderWorld::folderURL(const QString &relativePath) const
{
    return QUrl::fromLocalFile(relativePath.isEmpty() ? folder.path()
                                                      : folder.filePath(relativePath));
}

bool svgSupported()
{
    return QImageReader::supportedImageFormats().contains("svg");
}

} // namespace tolvaran::markdown
