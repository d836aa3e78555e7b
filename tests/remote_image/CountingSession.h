#pragma once

#include <QNetworkAccessManager>

namespace tolvaran::markdown {

// Network access that notes how many bytes each answer delivered to its reader (the most any
// one reply has taken in so far) and how many answers came whole. It trusts the loopback
// certificate of the tests' https servers (SelfSignedCertificate), and nothing else beyond
// the system's own.
class CountingSession final : public QNetworkAccessManager
{
    Q_OBJECT

public:
    using QNetworkAccessManager::QNetworkAccessManager;

    qint64 largestDownload() const { return m_largestDownload; }
    int completedDownloads() const { return m_completedDownloads; }

protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override;

private:
    qint64 m_largestDownload = 0;
    int m_completedDownloads = 0;
};

} // namespace tolvaran::markdown
