#include "update/ReleaseDownload.h"

#include "network/BoundedReply.h"
#include "work/FileDescriptor.h"
#include "work/WorkContext.h"
#include "update/AppUpdateError.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tolvaran {

namespace {

constexpr std::chrono::milliseconds stopPollInterval{100};
constexpr double bytesPerMegabyte = 1024.0 * 1024.0;

QString megabytes(qint64 bytes)
{
    return QString::number(bytes / bytesPerMegabyte, 'f', 1);
}

// Writes all of `data`; the errno of a failure, else 0. Written directly, not through a
// buffered QFile: only the system call's own error tells a full disk from anything else.
int writeAll(int descriptor, const QByteArray &data)
{
    const char *next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, next, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        next += written;
        left -= written;
    }
    return 0;
}

AppUpdateError writeFailure(int error)
{
    if (error == ENOSPC || error == EDQUOT)
        return AppUpdateError(AppUpdateError::Kind::insufficientDiskSpace);
    return AppUpdateError(AppUpdateErrorKind::system,
                          QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

std::chrono::milliseconds releaseDownloadDeadline(qint64 expectedSize,
                                                  std::chrono::milliseconds baseDeadline)
{
    // A manifest announces at most 100 MiB, far below where the product could overflow.
    const qint64 bytes = std::max<qint64>(expectedSize, 0);
    return baseDeadline + std::chrono::milliseconds(bytes * 1000 / minimumDownloadBytesPerSecond);
}

void downloadRelease(const QNetworkRequest &request, const QString &path, qint64 expectedSize,
                     std::chrono::milliseconds baseDeadline, const WorkContext &context)
{
    const FileDescriptor file(::open(QFile::encodeName(path).constData(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                                     0600));
    if (!file.isValid())
        throw AppUpdateError(AppUpdateErrorKind::system,
                             QString::fromLocal8Bit(std::strerror(errno)));
    downloadRelease(request, file.get(), expectedSize, baseDeadline, context);
    if (::fsync(file.get()) != 0)
        throw writeFailure(errno);
}

void downloadRelease(const QNetworkRequest &request, int descriptor, qint64 expectedSize,
                     std::chrono::milliseconds baseDeadline, const WorkContext &context)
{
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    qint64 received = 0;
    int reportedPercent = -1;
    bool stopped = false;
    int writeError = 0;

    const auto isOk = [reply] {
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    };
    const auto take = [&](const QByteArray &piece) {
        if (!isOk())
            return true; // an error page is not the release
        writeError = writeAll(descriptor, piece);
        if (writeError != 0)
            return false;
        received += piece.size();
        const int percent = int(received * 100 / expectedSize);
        if (percent != reportedPercent) {
            reportedPercent = percent;
            context.reportProgress({double(received) / double(expectedSize),
                                    QStringLiteral("Downloading %1 MB of %2 MB")
                                        .arg(megabytes(received), megabytes(expectedSize))});
        }
        return true;
    };
    // Never more than the announced size on disk: a server that keeps sending is cut off; nor
    // longer than that size takes at the slowest rate allowed: one that trickles is too.
    const auto *bounded = new BoundedReply(
        reply, {expectedSize, releaseDownloadDeadline(expectedSize, baseDeadline)}, take);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &loop, [&] {
        if (context.stopRequested()) {
            stopped = true;
            reply->abort();
        }
    });
    stopPoll.start(stopPollInterval);
    if (!reply->isFinished())
        loop.exec();
    stopPoll.stop();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = reply->errorString();
    const BoundedReply::Stop stop = bounded->stop();
    delete reply; // and `bounded` with it

    if (stopped)
        throw AppUpdateError(AppUpdateErrorKind::system,
                             QStringLiteral("The update was stopped."));
    if (status.isValid() && status.toInt() != 200)
        throw AppUpdateError(AppUpdateError::Kind::downloadFailed);
    if (stop == BoundedReply::Stop::tooLarge)
        throw AppUpdateError(AppUpdateError::Kind::sizeMismatch);
    if (stop == BoundedReply::Stop::deadline)
        throw AppUpdateError(AppUpdateError::Kind::downloadFailed);
    if (writeError != 0)
        throw writeFailure(writeError);
    if (error != QNetworkReply::NoError)
        throw AppUpdateError(AppUpdateErrorKind::system, errorText);
    if (!status.isValid())
        throw AppUpdateError(AppUpdateError::Kind::downloadFailed);
}

} // namespace tolvaran
