#pragma once

#include "remote_image/RemoteImageDecodeLimits.h"
#include "remote_image/RemoteImageError.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>

#include <optional>

namespace tolvaran::markdown {

// What the program and a decoding process say to each other: one message a packet of their
// socket (PacketSocket), each written with QDataStream after a tag naming its kind and this
// layout. The picture's bytes and its pixels travel beside the messages in sealed memory
// files (SealedMemory), never through the socket. A process is only ever the build's own
// program, but it reads outside bytes: whatever it answers is checked before it is believed.

// A picture to decode: its bytes come as a memory file beside the message.
struct DecodeRequest
{
    RemoteImageDecodeLimits limits;
    // The size it is drawn at (fittedPictureSize); invalid for the whole picture.
    QSize maximumSize;
    // Whether a picture expected to be costly (RemoteImageDecoder::costlyEstimate) is decoded
    // all the same; if not, it is answered as costly, undecoded, so that the caller decodes
    // it where costly pictures wait for their turn.
    bool decodeCostly = true;

    friend bool operator==(const DecodeRequest &, const DecodeRequest &) = default;
};

// The answer to one request.
struct DecodeReply
{
    enum class Outcome : quint8 { decoded, refused, costly };

    Outcome outcome = Outcome::refused;
    // Why it was refused.
    RemoteImageError error;
    // Decoded: the pixels' layout (they come as a memory file beside the message) and the size
    // of the whole picture, which the pixels may be smaller than.
    QSize imageSize;
    qsizetype bytesPerLine = 0;
    QImage::Format format = QImage::Format_Invalid;
    QSize pictureSize;
    QList<QRgb> colorTable;

    friend bool operator==(const DecodeReply &, const DecodeReply &) = default;
};

// The bytes of a row of `width` pixels of `depth` bits as the pixels travel: as QImage lays
// out the rows it makes, each aligned to 32 bits.
qsizetype alignedLineBytes(qint64 width, int depth);

// The most a message may take; a packet larger than this is no message of ours.
inline constexpr qsizetype maximumMessageBytes = 16 * 1024;

QByteArray encodeMessage(const DecodeRequest &request);
QByteArray encodeMessage(const DecodeReply &reply);
// The message `packet` holds; none when it is not one of that kind, whole and within its
// bounds (a size, a format, a colour table or a detail that no decoding makes).
std::optional<DecodeRequest> decodeRequest(const QByteArray &packet);
std::optional<DecodeReply> decodeReply(const QByteArray &packet);

} // namespace tolvaran::markdown
