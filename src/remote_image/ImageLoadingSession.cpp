#include "remote_image/ImageLoadingSession.h"

#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QStandardPaths>

namespace tolvaran::markdown {

void prepareImageLoadingSession(QNetworkAccessManager &session, qint64 diskCapacity,
                                std::chrono::milliseconds timeout, const QString &cacheFolder)
{
    session.setTransferTimeout(int(timeout.count()));
    // The image loader walks redirects itself, each hop checked against the one before it.
    session.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    if (cacheFolder.isEmpty())
        return;
    auto *cache = new QNetworkDiskCache(&session);
    cache->setCacheDirectory(cacheFolder);
    cache->setMaximumCacheSize(diskCapacity);
    session.setCache(cache);
}

QNetworkAccessManager *imageLoadingSession(qint64 diskCapacity, std::chrono::milliseconds timeout,
                                           QObject *parent)
{
    auto *session = new QNetworkAccessManager(parent);
    const QString cacheFolder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    prepareImageLoadingSession(*session, diskCapacity, timeout,
                               cacheFolder.isEmpty() ? QString()
                                                     : cacheFolder + QStringLiteral("/images"));
    return session;
}

} // namespace tolvaran::markdown
