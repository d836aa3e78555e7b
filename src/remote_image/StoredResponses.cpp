#include "remote_image/StoredResponses.h"

#include <QAbstractNetworkCache>
#include <QIODevice>
#include <QNetworkRequest>

#include <memory>

namespace tolvaran::markdown {

namespace {

const QByteArray locationHeader = QByteArrayLiteral("Location");
constexpr int recordStatus = 302;

} // namespace

void StoredResponses::recordRedirect(QAbstractNetworkCache &responses, const QUrl &asked,
                                     const QUrl &target)
{
    if (!responses.metaData(target).isValid())
        return;
    // Without the password, as Qt's disk cache keeps its own entries (and finds them: it keys
    // them without it), so that none is written to disk in clear. A walk that finds nothing
    // stored where the record leads walks again from the address asked, which still has it.
    const QByteArray location = target.toEncoded(QUrl::RemovePassword);
    const QNetworkCacheMetaData stored = responses.metaData(asked);
    const QNetworkCacheMetaData::AttributesMap storedAttributes = stored.attributes();
    if (stored.isValid()
        && storedAttributes.value(QNetworkRequest::HttpStatusCodeAttribute).toInt()
               == recordStatus) {
        for (const auto &[name, value] : stored.rawHeaders()) {
            if (name.compare(locationHeader, Qt::CaseInsensitive) == 0 && value == location)
                return;
        }
    }
    QNetworkCacheMetaData record;
    record.setUrl(asked);
    record.setSaveToDisk(true);
    record.setRawHeaders({{locationHeader, location}, {"Content-Length", "0"}});
    QNetworkCacheMetaData::AttributesMap attributes;
    attributes.insert(QNetworkRequest::HttpStatusCodeAttribute, recordStatus);
    attributes.insert(QNetworkRequest::HttpReasonPhraseAttribute, QByteArray("Found"));
    record.setAttributes(attributes);
    if (QIODevice *body = responses.prepare(record))
        responses.insert(body);
}

bool StoredResponses::mayServeStored(const QByteArray &cacheControl)
{
    // Directives, each a name with an optional value ("no-cache" may name header fields).
    for (const QByteArray &directive : cacheControl.split(',')) {
        const QByteArray name = directive.split('=').constFirst().trimmed().toLower();
        if (name == "no-store" || name == "no-cache" || name == "must-revalidate")
            return false;
    }
    return true;
}

bool StoredResponses::isCut(const QByteArray &contentLength, const QByteArray &contentEncoding,
                            qint64 bodyBytes)
{
    const QByteArray encoding = contentEncoding.trimmed().toLower();
    if (!encoding.isEmpty() && encoding != "identity")
        return false;
    bool valid = false;
    const qint64 declared = contentLength.trimmed().toLongLong(&valid);
    return valid && declared > bodyBytes;
}

bool StoredResponses::keepOnlyWhole(QAbstractNetworkCache &responses, const QUrl &url,
                                    qint64 bodyBytes)
{
    const std::unique_ptr<QIODevice> body(responses.data(url));
    if (!body)
        return false;
    // Read through rather than asked for its size: a device over a file may not know where
    // its body begins.
    constexpr qint64 pieceBytes = 256 * 1024;
    qint64 stored = 0;
    while (stored <= bodyBytes) {
        const qint64 read = body->skip(pieceBytes);
        if (read <= 0)
            break;
        stored += read;
    }
    if (stored == bodyBytes)
        return true;
    responses.remove(url);
    return false;
}

void StoredResponses::forget(QAbstractNetworkCache &responses, const QList<QUrl> &urls)
{
    for (const QUrl &url : urls)
        responses.remove(url);
}

} // namespace tolvaran::markdown
