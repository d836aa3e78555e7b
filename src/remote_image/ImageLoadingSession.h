#pragma once

#include <QtGlobal>

class QNetworkAccessManager;
class QObject;
class QString;

namespace tolvaran::markdown {

// Makes `session` the network access for image downloads: raw responses kept in a disk cache
// of `diskCapacity` bytes in `cacheFolder` (none when it is empty). It sets no transfer
// timeout: the loader times its transfers from when each request is sent, where Qt's timeout
// would run while the request waits for a connection (DefaultRemoteImageLoader::startDownload).
//
// The disk cache is the second level under the decoded images of the loader's image cache:
// Qt keeps no response cache in memory, and keeping encoded copies there as well would only
// add to the decoded ones. The loader asks it first and uses whatever it holds, whatever the
// response's age, so a picture is downloaded once, also across runs. Qt keeps responses that
// carry no caching headers at all; it stores none that say "no-store", and serves none that
// say "no-cache" or "must-revalidate" without the server, which the loader then asks.
void prepareImageLoadingSession(QNetworkAccessManager &session, qint64 diskCapacity,
                                const QString &cacheFolder);

// A new session prepared so, with its disk cache in the user's cache folder.
QNetworkAccessManager *imageLoadingSession(qint64 diskCapacity, QObject *parent = nullptr);

// Points the disk cache of a session made so at the user's cache folder as it is named now,
// and lays the folder out again where it has gone. Qt's disk cache makes its folder once and
// stores nothing more once it has gone: a user who empties the cache folder while the program
// runs would have no picture kept for the rest of the run.
void keepInUserCacheFolder(QNetworkAccessManager &session);

// Lays the disk cache's folder out again where it stands. Qt's disk cache writes through
// folders it makes once, which a cleaner of empty folders may take while the folder itself
// stays; it then stores nothing more.
void layOutCacheFolderAgain(QNetworkAccessManager &session);

} // namespace tolvaran::markdown
