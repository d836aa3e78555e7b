#include "remote_image/ImageLoadingSession.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QStandardPaths>

namespace tolvaran::markdown {

namespace {

// The disk cache's folder in the user's cache folder; empty when the user has none.
QString userCacheFolder()
{
    const QString cacheFolder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cacheFolder.isEmpty() ? QString() : cacheFolder + QStringLiteral("/images");
}

} // namespace

void prepareImageLoadingSession(QNetworkAccessManager &session, qint64 diskCapacity,
                                const QString &cacheFolder)
{
    // The image loader walks redirects itself, each hop checked against the one before it.
    session.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    if (cacheFolder.isEmpty())
        return;
    auto *cache = new QNetworkDiskCache(&session);
    cache->setCacheDirectory(cacheFolder);
    cache->setMaximumCacheSize(diskCapacity);
    session.setCache(cache);
}

QNetworkAccessManager *imageLoadingSession(qint64 diskCapacity, QObject *parent)
{
    auto *session = new QNetworkAccessManager(parent);
    prepareImageLoadingSession(*session, diskCapacity, userCacheFolder());
    return session;
}

void keepInUserCacheFolder(QNetworkAccessManager &session)
{
    auto *cache = qobject_cast<QNetworkDiskCache *>(session.cache());
    const QString folder = userCacheFolder();
    if (!cache || folder.isEmpty())
        return;
    // Laying the folder out again leaves the responses in flight alone: each is written to a
    // file of its own and moved into the folder once whole, and one whose move fails is lost.
    if (cache->cacheDirectory() != QDir(folder).absolutePath() + QLatin1Char('/')
        || !QFileInfo::exists(folder))
        cache->setCacheDirectory(folder);
}

void layOutCacheFolderAgain(QNetworkAccessManager &session)
{
    if (auto *cache = qobject_cast<QNetworkDiskCache *>(session.cache()))
        cache->setCacheDirectory(cache->cacheDirectory());
}

} // namespace tolvaran::markdown
