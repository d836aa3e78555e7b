#include "remote_image/formats/PngDataBounds.h"

#include "remote_image/png/PngImageData.h"

#include <QByteArrayView>
#include <QList>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <array>

namespace tolvaran::markdown {

namespace {

constexpr qsizetype signatureBytes = 8;
constexpr qsizetype chunkOverhead = 12; // its length, type and checksum
constexpr qsizetype pieceBytes = 64 * 1024;

enum class Inflated { withinLimit, pastLimit, damaged, stopped };

// Inflates the zlib stream in `pieces` (read one after the other) into a scratch buffer, up
// to `limit` bytes; tells whether it ended within it. A stream cut short is within its limit:
// Qt's reader then stops where it ends.
Inflated inflateWithin(const QList<QByteArrayView> &pieces, qint64 limit, qint64 &inflated,
                       const std::stop_token &stop)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return Inflated::damaged;
    std::array<Bytef, pieceBytes> buffer;
    Inflated outcome = Inflated::withinLimit;
    for (const QByteArrayView piece : pieces) {
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(piece.data()));
        stream.avail_in = uInt(piece.size());
        int status = Z_OK;
        while (outcome == Inflated::withinLimit) {
            if (stop.stop_requested()) {
                outcome = Inflated::stopped;
                break;
            }
            // One byte past the limit tells a stream that goes on from one that ends there.
            const qint64 room = std::min<qint64>(buffer.size(), limit + 1 - inflated);
            if (room <= 0) {
                outcome = Inflated::pastLimit;
                break;
            }
            stream.next_out = buffer.data();
            stream.avail_out = uInt(room);
            status = inflate(&stream, Z_NO_FLUSH);
            inflated += room - stream.avail_out;
            if (inflated > limit)
                outcome = Inflated::pastLimit;
            else if (status == Z_BUF_ERROR || (status == Z_OK && stream.avail_in == 0
                                               && stream.avail_out > 0))
                break; // this piece is used up
            else if (status != Z_OK)
                break;
        }
        if (outcome != Inflated::withinLimit || status == Z_STREAM_END)
            break;
        if (status != Z_OK && status != Z_BUF_ERROR) {
            outcome = Inflated::damaged;
            break;
        }
    }
    inflateEnd(&stream);
    return outcome;
}

// Where a compressed chunk's zlib stream begins: after a keyword ended by a zero byte, and
// for international text after its flags and two more such fields. None for a chunk whose
// text is not compressed, or that has no stream.
std::optional<qsizetype> compressedTextStart(QByteArrayView type, QByteArrayView data)
{
    const qsizetype keywordEnd = data.indexOf('\0');
    if (keywordEnd < 0)
        return std::nullopt;
    if (type == "zTXt" || type == "iCCP")
        return keywordEnd + 2; // the zero byte and the compression method
    if (type != "iTXt" || keywordEnd + 2 >= data.size() || data[keywordEnd + 1] == 0)
        return std::nullopt;
    const qsizetype languageEnd = data.indexOf('\0', keywordEnd + 3);
    const qsizetype translatedEnd =
        languageEnd < 0 ? -1 : data.indexOf('\0', languageEnd + 1);
    if (translatedEnd < 0)
        return std::nullopt;
    return translatedEnd + 1;
}

} // namespace

std::optional<RemoteImageError> PngDataBounds::check(const QByteArray &png, QSize declared,
                                                     qint64 &textSpent,
                                                     const std::stop_token &stop)
{
    const QByteArrayView file(png);
    // The header's data, after the width and height that `declared` gives.
    const char *header = file.data() + signatureBytes + 8;
    const std::optional<qint64> rows =
        PngImageData::rowBytes(declared, uchar(header[9]), uchar(header[8]), header[12] != 0);
    if (!rows)
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);

    // The chunks up to the end of the image: libpng reads no further.
    QList<QByteArrayView> imageData;
    bool imageDataEnded = false;
    for (qsizetype at = signatureBytes; at + chunkOverhead <= file.size();) {
        const qint64 length = qFromBigEndian<quint32>(file.data() + at);
        const QByteArrayView type = file.sliced(at + 4, 4);
        const QByteArrayView data =
            file.sliced(at + 8, std::min<qint64>(length, file.size() - at - 8));
        if (type == "IEND")
            break;
        if (type == "IDAT") {
            // libpng reads the image data of the first run of these chunks alone.
            if (!imageDataEnded)
                imageData.append(data);
        } else {
            imageDataEnded = !imageData.isEmpty();
            if (const std::optional<qsizetype> start = compressedTextStart(type, data)) {
                qint64 inflated = 0;
                const Inflated text = inflateWithin({data.sliced(std::min(*start, data.size()))},
                                                    textBudget - textSpent, inflated, stop);
                textSpent += inflated;
                if (text == Inflated::pastLimit)
                    return RemoteImageError(RemoteImageErrorKind::imageTooComplex);
                if (text == Inflated::stopped)
                    return RemoteImageError(RemoteImageErrorKind::abandoned);
            }
        }
        at += chunkOverhead + length;
    }
    qint64 inflated = 0;
    switch (inflateWithin(imageData, *rows + slackBytes, inflated, stop)) {
    case Inflated::withinLimit:
    case Inflated::damaged:
        return std::nullopt;
    case Inflated::pastLimit:
        return RemoteImageError(RemoteImageErrorKind::imageTooComplex);
    case Inflated::stopped:
        return RemoteImageError(RemoteImageErrorKind::abandoned);
    }
    return std::nullopt;
}

} // namespace tolvaran::markdown
