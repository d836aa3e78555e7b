#include "remote_image/ImageLoadingSession.h"

#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QStandardPaths>

namespace tolvaran::markdown {

QNetworkAccessManager *imageLoadingSession(qint64 diskCapacity, std::chrono::milliseconds timeout,
                                           QObject *parent)
{
    auto *session = new QNetworkAccessManager(parent);
    session->setTransferTimeout(int(timeout.count()));
    session->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
    const QString cacheFolder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!cacheFolder.isEmpty()) {
        auto *cache = new QNetworkDiskCache(session);
        cache->setCacheDirectory(cacheFolder + QStringLiteral("/images"));
        cache->setMaximumCacheSize(diskCapacity);
        session->setCache(cache);
    }
    return session;
}

} // namespace tolvaran::markdown
