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
    return reply;
}

} // namespace tolvaran::markdown
