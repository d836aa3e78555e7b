#pragma once

#include <QtGlobal>

#include <chrono>

class QNetworkAccessManager;
class QObject;

namespace tolvaran::markdown {

// The network access for image downloads: raw responses kept in a disk cache of
// `diskCapacity` bytes (in the user's cache folder) and preferred to the network, and
// `timeout` without any data ending a request. Qt keeps no in-memory response cache; the
// decoded images are cached in memory by the loader's image cache instead.
QNetworkAccessManager *imageLoadingSession(qint64 diskCapacity, std::chrono::milliseconds timeout,
                                           QObject *parent = nullptr);

} // namespace tolvaran::markdown
