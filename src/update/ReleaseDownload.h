#pragma once

#include <QNetworkRequest>
#include <QString>

#include <chrono>

namespace tolvaran {

class WorkContext;

// The slowest rate a download is given time for. The request's transfer timeout bounds only
// the silence between two bytes, so a server sending a byte a second would hold an
// installation for ever: a download ends once it has taken its base deadline plus the time
// its announced size takes at this rate.
inline constexpr qint64 minimumDownloadBytesPerSecond = 64 * 1024;

// `baseDeadline` plus `expectedSize` at minimumDownloadBytesPerSecond.
std::chrono::milliseconds releaseDownloadDeadline(qint64 expectedSize,
                                                  std::chrono::milliseconds baseDeadline);

// Downloads a release archive into a new private file at `path`, on the calling worker thread
// (it runs an event loop of its own), reporting progress through `context`. The answer is read
// as it arrives and stops as soon as more than `expectedSize` bytes are announced or arrive,
// when the context asks to stop, or once releaseDownloadDeadline(expectedSize, baseDeadline)
// has passed since the request.
//
// Throws AppUpdateError: downloadFailed for an answer other than HTTP 200 or one not complete
// by its deadline, sizeMismatch for a body longer than `expectedSize`, insufficientDiskSpace
// when the disk or the user's quota is full, system with the network's or file system's
// sentence for any other transport or write failure (or a stop). The file at `path` may be
// left partly written; the caller owns the folder it is in.
void downloadRelease(const QNetworkRequest &request, const QString &path, qint64 expectedSize,
                     std::chrono::milliseconds baseDeadline, const WorkContext &context);

// The same into the open file `descriptor` (written from its current offset, never closed).
void downloadRelease(const QNetworkRequest &request, int descriptor, qint64 expectedSize,
                     std::chrono::milliseconds baseDeadline, const WorkContext &context);

} // namespace tolvaran
