#include "CountingSession.h"

#include <QNetworkReply>

namespace tolvaran::markdown {

QNetworkReply *CountingSession::createRequest(Operation operation,
                                              const QNetworkRequest &request,
                                              QIODevice *outgoingData)
{
    QNetworkReply *reply =
        QNetworkAccessManager::createRequest(operation, request, outgoingData);
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received) {
        m_largestDownload = qMax(m_largestDownload, received);
    });
    // A look in the disk cache that found nothing ends too, with an error.
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply->error() == QNetworkReply::NoError)
            ++m_completedDownloads;
    });
    return reply;
}

} // namespace tolvaran::markdown
