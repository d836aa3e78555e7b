#pragma once

#include <QNetworkRequest>
#include <QString>

namespace tolvaran {

class WorkContext;

// Downloads a release archive into a new private file at `path`, on the calling worker thread
// (it runs an event loop of its own), reporting progress through `context`. The answer is read
// as it arrives and stops as soon as more than `expectedSize` bytes are announced or arrive,
// or when the context asks to stop.
//
// Throws AppUpdateError: downloadFailed for an answer other than HTTP 200, sizeMismatch for a
// body longer than `expectedSize`, insufficientDiskSpace when the disk or the user's quota is
// full, system with the network's or file system's sentence for any other transport or write
// failure (or a stop). The file at `path` may be left partly written; the caller owns the
// folder it is in.
void downloadRelease(const QNetworkRequest &request, const QString &path, qint64 expectedSize,
                     const WorkContext &context);

// The same into the open file `descriptor` (written from its current offset, never closed).
void downloadRelease(const QNetworkRequest &request, int descriptor, qint64 expectedSize,
                     const WorkContext &context);

} // namespace tolvaran
