#include "LoaderWorld.h"

#include "remote_image/ImageLoadingSession.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QNetworkAccessManager>

#include <gtest/gtest.h>

namespace tolvaran::markdown {

LoaderWorld::LoaderWorld(RemoteImageDecodeLimits limits)
    : loader(cache, &session, nullptr, limits)
{
    EXPECT_TRUE(server.listen());
    EXPECT_TRUE(folder.isValid());
    prepareImageLoadingSession(session, DefaultRemoteImageLoader::sharedDiskCacheBytes,
                               DefaultRemoteImageLoader::sharedRequestTimeout, responseFolder());
}

QString LoaderWorld::responseFolder() const
{
    return folder.filePath(QStringLiteral("responses"));
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
    QNetworkAccessManager network;
    prepareImageLoadingSession(network, DefaultRemoteImageLoader::sharedDiskCacheBytes,
                               DefaultRemoteImageLoader::sharedRequestTimeout, responseFolder());
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
