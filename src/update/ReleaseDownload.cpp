#include "update/ReleaseDownload.h"

#include "platform/WorkContext.h"
#include "update/AppUpdateError.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <chrono>

namespace tolvaran {

namespace {

constexpr std::chrono::milliseconds stopPollInterval{100};
constexpr double bytesPerMegabyte = 1024.0 * 1024.0;

QString megabytes(qint64 bytes)
{
    return QString::number(bytes / bytesPerMegabyte, 'f', 1);
}

} // namespace

void downloadRelease(const QNetworkRequest &request, const QString &path, qint64 expectedSize,
                     const WorkContext &context)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw AppUpdateError::system(file.errorString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    qint64 received = 0;
    int reportedPercent = -1;
    bool tooLong = false;
    bool stopped = false;
    QString writeError;

    const auto isOk = [reply] {
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        if (!isOk()) {
            reply->readAll(); // an error page is not the release
            return;
        }
        const QByteArray data = reply->readAll();
        received += data.size();
        // Never more than the announced size on disk: a server that keeps sending is cut off.
        if (received > expectedSize) {
            tooLong = true;
            reply->abort();
            return;
        }
        if (file.write(data) != data.size()) {
            writeError = file.errorString();
            reply->abort();
            return;
        }
        const int percent = int(received * 100 / expectedSize);
        if (percent != reportedPercent) {
            reportedPercent = percent;
            context.reportProgress({double(received) / double(expectedSize),
                                    QStringLiteral("Downloading %1 MB of %2 MB")
                                        .arg(megabytes(received), megabytes(expectedSize))});
        }
    });
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
    delete reply;
    if (!file.flush() && writeError.isEmpty())
        writeError = file.errorString();
    file.close();

    if (tooLong)
        throw AppUpdateError(AppUpdateError::Kind::sizeMismatch);
    if (stopped)
        throw AppUpdateError::system(QStringLiteral("The update was stopped."));
    if (!writeError.isEmpty())
        throw AppUpdateError::system(writeError);
    if (status.isValid() && status.toInt() != 200)
        throw AppUpdateError(AppUpdateError::Kind::downloadFailed);
    if (error != QNetworkReply::NoError)
        throw AppUpdateError::system(errorText);
    if (!status.isValid())
        throw AppUpdateError(AppUpdateError::Kind::downloadFailed);
}

} // namespace tolvaran
