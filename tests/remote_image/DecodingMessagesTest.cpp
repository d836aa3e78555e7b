#include "remote_image/decoding/DecodingMessages.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QIODevice>

#include <functional>

namespace tolvaran::markdown {
namespace {

DecodeReply decoded(QImage::Format format, QSize size, QList<QRgb> colours = {})
{
    DecodeReply reply;
    reply.outcome = DecodeReply::Outcome::decoded;
    reply.imageSize = size;
    reply.format = format;
    reply.bytesPerLine = alignedLineBytes(size.width(), QImage(1, 1, format).depth());
    reply.pictureSize = size * 2;
    reply.colorTable = std::move(colours);
    return reply;
}

TEST(DecodingMessages, whatOneSideWritesTheOtherReadsAsWritten)
{
    DecodeRequest request;
    request.limits.maximumPixels = 1234;
    request.limits.scanBudget = 99;
    request.limits.readingBudget = 77;
    request.maximumSize = {300, 200};
    request.decodeCostly = false;
    EXPECT_EQ(decodeRequest(encodeMessage(request)), request);

    DecodeReply refused;
    refused.error = RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData,
                                     QStringLiteral("TIFF")};
    DecodeReply costly;
    costly.outcome = DecodeReply::Outcome::costly;
    for (const DecodeReply &reply :
         {refused, costly, decoded(QImage::Format_ARGB32_Premultiplied, {33, 7}),
          decoded(QImage::Format_Indexed8, {5, 5}, {qRgb(1, 2, 3), qRgba(4, 5, 6, 7)}),
          decoded(QImage::Format_Mono, {9, 1}, {0xff000000, 0xffffffff})})
        EXPECT_EQ(decodeReply(encodeMessage(reply)), reply);
}

// A reply as the decoding process might send it if it were no longer the program it was:
// each is refused, whole, before any of it is believed.
TEST(DecodingMessages, repliesThatNoDecodingMakesAreRefused)
{
    const auto changed = [](const std::function<void(DecodeReply &)> &change) {
        DecodeReply reply = decoded(QImage::Format_RGB32, {10, 10});
        change(reply);
        return encodeMessage(reply);
    };
    const auto written = [](const std::function<void(QDataStream &)> &write) {
        QByteArray packet;
        QDataStream stream(&packet, QIODevice::WriteOnly);
        stream.setVersion(QDataStream::Qt_6_4);
        write(stream);
        return packet;
    };
    const QByteArray whole = encodeMessage(decoded(QImage::Format_RGB32, {10, 10}));
    const struct
    {
        const char *name;
        QByteArray packet;
    } rows[] = {
        {"nothing", {}},
        {"a request", encodeMessage(DecodeRequest{})},
        {"cut short", whole.chopped(1)},
        {"with more after it", whole + '\0'},
        {"rows too narrow", changed([](DecodeReply &r) { r.bytesPerLine = 36; })},
        {"rows wider than laid out", changed([](DecodeReply &r) { r.bytesPerLine = 44; })},
        {"no pixels", changed([](DecodeReply &r) { r.imageSize = {0, 10}; })},
        {"a picture of no size", changed([](DecodeReply &r) { r.pictureSize = {10, -1}; })},
        {"too many pixels", changed([](DecodeReply &r) {
             r.imageSize = {1 << 15, 1 << 15};
             r.bytesPerLine = alignedLineBytes(1 << 15, 32);
         })},
        {"deeper than kept", changed([](DecodeReply &r) {
             r.format = QImage::Format_RGBA64;
             r.bytesPerLine = 80;
         })},
        {"a palette without colours", changed([](DecodeReply &r) {
             r.format = QImage::Format_Indexed8;
             r.bytesPerLine = 12;
         })},
        {"colours without a palette",
         changed([](DecodeReply &r) { r.colorTable = {qRgb(0, 0, 0)}; })},
        {"a format that is none", written([](QDataStream &s) {
             s << quint32(0x54504452) << quint8(0) << QSize(1, 1) << qint64(4) << qint32(999)
               << QSize(1, 1) << QList<QRgb>();
         })},
        {"an error that is none", written([](QDataStream &s) {
             s << quint32(0x54504452) << quint8(1) << qint32(9999) << QString();
         })},
        {"an outcome that is none",
         written([](QDataStream &s) { s << quint32(0x54504452) << quint8(7); })},
        {"a detail of a megabyte", written([](QDataStream &s) {
             s << quint32(0x54504452) << quint8(1) << qint32(0) << QString(1 << 19, u'x');
         })},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(decodeReply(row.packet));
    }
}

} // namespace
} // namespace tolvaran::markdown
