#include "network/BoundedReply.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>

namespace tolvaran {

void BoundedReply::prepare(QNetworkRequest &request)
{
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
}

BoundedReply::BoundedReply(QNetworkReply *reply, NetworkReadLimits limits, Consumer consumer)
    : QObject(reply)
    , m_reply(reply)
    , m_limits(limits)
    , m_consumer(std::move(consumer))
{
    reply->setReadBufferSize(readBufferBytes);
    // Qt hands the cap to the network thread's side of the reply only once that side exists,
    // and a request with data to upload (sendCustomRequest's, even empty) makes it one turn of
    // the event loop later: a cap set now would be lost and the body read without limit. Set
    // again after that turn, it follows the start in the network thread's queue. Qt 6.4 has
    // no way to give the cap sooner (that side takes one only once the request has started),
    // so a thread taken off the processor between the start and the cap lets the first bytes
    // of an answer that comes at once be read ahead without it.
    QMetaObject::invokeMethod(
        this, [this] { m_reply->setReadBufferSize(readBufferBytes); }, Qt::QueuedConnection);
    connect(reply, &QNetworkReply::metaDataChanged, this, &BoundedReply::checkDeclaredLength);
    connect(reply, &QNetworkReply::readyRead, this, &BoundedReply::readAvailable);
    connect(reply, &QNetworkReply::finished, this, &BoundedReply::readAvailable);
    connect(reply, &QNetworkReply::errorOccurred, this, &BoundedReply::endAfterError);
    if (m_limits.deadline.count() > 0) {
        QTimer::singleShot(m_limits.deadline, this, [this] {
            if (m_reply->isRunning())
                halt(Stop::deadline);
        });
    }
}

QByteArray BoundedReply::takeBody()
{
    QByteArray body = m_pieces.join();
    m_pieces.clear();
    return body;
}

void BoundedReply::checkDeclaredLength()
{
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (m_stop == Stop::none && length.isValid()
        && length.toLongLong() > m_limits.maximumBytes) {
        halt(Stop::tooLarge);
    }
}

void BoundedReply::readAvailable()
{
    while (m_stop == Stop::none && !m_failed) {
        const qint64 available = m_reply->bytesAvailable();
        if (available <= 0)
            return;
        // Read into a piece of exactly this size: a piece Qt hands out may share a block of
        // its buffer far larger than itself, and a body kept in such pieces would hold it all.
        QByteArray piece(qsizetype(std::min(available, readBufferBytes)), Qt::Uninitialized);
        const qint64 read = m_reply->read(piece.data(), piece.size());
        if (read <= 0)
            return;
        piece.truncate(qsizetype(read));
        m_received += read;
        if (m_received > m_limits.maximumBytes) {
            halt(Stop::tooLarge);
            return;
        }
        if (!m_consumer)
            m_pieces.append(std::move(piece));
        else if (!m_consumer(piece))
            halt(Stop::consumer);
    }
}

void BoundedReply::endAfterError()
{
    // Whatever came before the error was taken as it arrived (Qt hands a body over before
    // the error that ends it); what follows it is not the body: after a failed inflation Qt
    // passes on the compressed bytes as they come.
    m_failed = true;
    // Qt 6.4 reports a body that fails to inflate (a compressed answer far larger than what
    // was sent, say) with this signal alone and leaves the transfer open, so the call would
    // wait for its deadline. Queued, so that an error Qt ends itself (a status of 400 or more,
    // a dropped connection: finished() is on its way) ends as Qt ends it; aborting a reply
    // that has its error already keeps that error, with a warning of Qt's in the log.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_reply->isRunning())
                m_reply->abort();
        },
        Qt::QueuedConnection);
}

void BoundedReply::halt(Stop reason)
{
    m_stop = reason;
    m_pieces.clear();
    // Emits finished() at once: whoever looks at the reply then finds the reason here.
    if (m_reply->isRunning())
        m_reply->abort();
}

} // namespace tolvaran
