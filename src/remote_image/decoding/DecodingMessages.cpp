#include "remote_image/decoding/DecodingMessages.h"

#include <QDataStream>
#include <QIODevice>

namespace tolvaran::markdown {

namespace {

// Each message's first word: its kind, and the layout below (changed with it).
constexpr quint32 requestTag = 0x54504431;  // "TPD1"
constexpr quint32 replyTag = 0x54504452;    // "TPDR"
constexpr QDataStream::Version streamVersion = QDataStream::Qt_6_4;
// A detail is a format's name or a transport's sentence: never long.
constexpr qsizetype maximumDetailCharacters = 256;
// The last kind of error there is, which the messages may name.
constexpr auto lastErrorKind = RemoteImageErrorKind::decoderUnavailable;

QDataStream &operator<<(QDataStream &stream, const RemoteImageDecodeLimits &limits)
{
    return stream << limits.maximumPixels << limits.drawingBudget << limits.readingBudget
                  << limits.scanBudget;
}

QDataStream &operator>>(QDataStream &stream, RemoteImageDecodeLimits &limits)
{
    return stream >> limits.maximumPixels >> limits.drawingBudget >> limits.readingBudget
           >> limits.scanBudget;
}

// The stream read `packet` whole, and nothing is left over.
bool readWhole(const QDataStream &stream)
{
    return stream.status() == QDataStream::Ok && stream.atEnd();
}

bool isPositive(QSize size)
{
    return size.width() > 0 && size.height() > 0;
}

// Whether `reply` describes pixels that a decoding can make: at most 32 bits a pixel (the
// decoder keeps no deeper ones), rows as QImage lays out its own (alignedLineBytes), a
// colour table where the format has one, and no more pixels than any limit allows.
bool isDecodedLayout(const DecodeReply &reply)
{
    if (!isPositive(reply.imageSize) || !isPositive(reply.pictureSize))
        return false;
    const int depth = QImage::toPixelFormat(reply.format).bitsPerPixel();
    const qint64 width = reply.imageSize.width();
    if (depth <= 0 || depth > 32 || reply.bytesPerLine != alignedLineBytes(width, depth))
        return false;
    const qsizetype colours = reply.colorTable.size();
    const bool indexed = reply.format == QImage::Format_Indexed8
                         || reply.format == QImage::Format_Mono
                         || reply.format == QImage::Format_MonoLSB;
    if (indexed ? colours == 0 || colours > (qsizetype(1) << depth) : colours != 0)
        return false;
    constexpr qint64 anyLimit = RemoteImageDecodeLimits::defaultMaximumPixels * 16;
    return width * reply.imageSize.height() <= anyLimit
           && qint64(reply.pictureSize.width()) * reply.pictureSize.height() <= anyLimit;
}

} // namespace

qsizetype alignedLineBytes(qint64 width, int depth)
{
    return qsizetype((width * depth + 31) / 32 * 4);
}

QByteArray encodeMessage(const DecodeRequest &request)
{
    QByteArray packet;
    QDataStream stream(&packet, QIODevice::WriteOnly);
    stream.setVersion(streamVersion);
    stream << requestTag << request.limits << request.maximumSize << request.decodeCostly;
    return packet;
}

QByteArray encodeMessage(const DecodeReply &reply)
{
    QByteArray packet;
    QDataStream stream(&packet, QIODevice::WriteOnly);
    stream.setVersion(streamVersion);
    stream << replyTag << quint8(reply.outcome);
    switch (reply.outcome) {
    case DecodeReply::Outcome::refused:
        stream << qint32(reply.error.kind())
               << reply.error.detail().left(maximumDetailCharacters);
        break;
    case DecodeReply::Outcome::decoded:
        stream << reply.imageSize << qint64(reply.bytesPerLine) << qint32(reply.format)
               << reply.pictureSize << reply.colorTable;
        break;
    case DecodeReply::Outcome::costly:
        break;
    }
    return packet;
}

std::optional<DecodeRequest> decodeRequest(const QByteArray &packet)
{
    QDataStream stream(packet);
    stream.setVersion(streamVersion);
    quint32 tag = 0;
    DecodeRequest request;
    stream >> tag >> request.limits >> request.maximumSize >> request.decodeCostly;
    if (!readWhole(stream) || tag != requestTag)
        return std::nullopt;
    return request;
}

std::optional<DecodeReply> decodeReply(const QByteArray &packet)
{
    if (packet.size() > maximumMessageBytes)
        return std::nullopt;
    QDataStream stream(packet);
    stream.setVersion(streamVersion);
    quint32 tag = 0;
    quint8 outcome = 0;
    stream >> tag >> outcome;
    if (stream.status() != QDataStream::Ok || tag != replyTag
        || outcome > quint8(DecodeReply::Outcome::costly))
        return std::nullopt;
    DecodeReply reply;
    reply.outcome = DecodeReply::Outcome(outcome);
    switch (reply.outcome) {
    case DecodeReply::Outcome::refused: {
        qint32 kind = -1;
        QString detail;
        stream >> kind >> detail;
        if (kind < 0 || kind > qint32(lastErrorKind)
            || detail.size() > maximumDetailCharacters)
            return std::nullopt;
        reply.error = RemoteImageError{RemoteImageErrorKind(kind), detail};
        break;
    }
    case DecodeReply::Outcome::decoded: {
        qint64 bytesPerLine = 0;
        qint32 format = 0;
        stream >> reply.imageSize >> bytesPerLine >> format >> reply.pictureSize
            >> reply.colorTable;
        if (stream.status() != QDataStream::Ok || format <= QImage::Format_Invalid
            || format >= QImage::NImageFormats)
            return std::nullopt;
        reply.bytesPerLine = qsizetype(bytesPerLine);
        reply.format = QImage::Format(format);
        if (!isDecodedLayout(reply))
            return std::nullopt;
        break;
    }
    case DecodeReply::Outcome::costly:
        break;
    }
    if (!readWhole(stream))
        return std::nullopt;
    return reply;
}

} // namespace tolvaran::markdown
