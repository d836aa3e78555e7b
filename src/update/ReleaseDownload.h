#pragma once

#include <QNetworkRequest>
#include <QString>

namespace tolvaran {

class WorkContext;

// Downloads a release archive into a new file at `path`, on the calling worker thread (it runs
// an event loop of its own), reporting progress through `context`. The download stops as soon
// as more than `expectedSize` bytes arrive, or when the context asks to stop.
//
// Throws AppUpdateError: downloadFailed for an answer other than HTTP 200, sizeMismatch for a
// body longer than `expectedSize`, system with the network's or file system's sentence for a
// transport or write failure (or a stop). The file at `path` may be left partly written; the
// caller owns the folder it is in.
void downloadRelease(const QNetworkRequest &request, const QString &path, qint64 expectedSize,
                     const WorkContext &context);

} // namespace tolvaran
