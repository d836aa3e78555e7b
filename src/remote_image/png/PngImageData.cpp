#include "remote_image/png/PngImageData.h"

#include <QByteArrayView>
#include <QList>

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace tolvaran::markdown {

namespace {

constexpr qsizetype signatureBytes = 8;
// A chunk's length and type before its data.
constexpr qsizetype chunkHeaderBytes = 8;
constexpr qsizetype checksumBytes = 4;
// Where the header chunk's data begins, and in it the depth, colour type and interlacing.
constexpr qsizetype headerData = signatureBytes + chunkHeaderBytes;
constexpr qsizetype bitDepthOffset = headerData + 8;
constexpr qsizetype colourTypeOffset = headerData + 9;
constexpr qsizetype interlaceOffset = headerData + 12;
// What the rows are inflated into as they are checked, a piece at a time.
constexpr qsizetype scratchBytes = 64 * 1024;

int channels(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        return 1;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    }
    return 0;
}

bool isDepthOf(int colourType, int bitDepth)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8
               || bitDepth == 16;
    case PNG_COLOR_TYPE_PALETTE:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_GRAY_ALPHA:
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return bitDepth == 8 || bitDepth == 16;
    }
    return false;
}

// The image data of a file cut short in it: the data of its chunks in order, the last cut
// short, and how many bytes of it come before that last chunk (those whose chunks' checksums
// were found right).
struct CutStream
{
    QList<QByteArrayView> pieces;
    qint64 checkedBytes = 0;
};

// Whether the rows of the stream in `cut` come wholly from its checked bytes, or else the
// stream ends right after them with its checksum right. Inflated into a scratch buffer, up to
// the rows and a byte more.
PngImageData::Check rowsChecked(const CutStream &cut, qint64 rows, const std::stop_token &stop)
{
    using Check = PngImageData::Check;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return Check::damaged;
    std::array<Bytef, scratchBytes> scratch;
    qint64 inflated = 0;
    qint64 consumed = 0;
    std::optional<Check> outcome;
    for (const QByteArrayView piece : cut.pieces) {
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(piece.data()));
        stream.avail_in = uInt(piece.size());
        while (!outcome && stream.avail_in > 0) {
            if (stop.stop_requested()) {
                outcome = Check::abandoned;
                break;
            }
            // Past the rows, room for one byte more tells a stream that goes on from one that
            // ends.
            const qint64 room =
                inflated < rows ? std::min<qint64>(scratch.size(), rows - inflated) : 1;
            stream.next_out = scratch.data();
            stream.avail_out = uInt(room);
            const uInt before = stream.avail_in;
            const int status = inflate(&stream, Z_NO_FLUSH);
            inflated += room - stream.avail_out;
            consumed += before - stream.avail_in;
            // zlib has checked the stream's Adler-32 where it tells of its end.
            if (status == Z_STREAM_END)
                outcome = inflated == rows ? Check::sound : Check::damaged;
            else if ((status != Z_OK && status != Z_BUF_ERROR) || inflated > rows)
                outcome = Check::damaged;
            else if (inflated == rows && consumed <= cut.checkedBytes)
                outcome = Check::sound;
            else if (status == Z_BUF_ERROR)
                break; // this piece is used up
        }
        if (outcome)
            break;
    }
    inflateEnd(&stream);
    // A stream that stops before its end, with or without its rows, has not been checked.
    return outcome.value_or(Check::damaged);
}

} // namespace

std::optional<qint64> PngImageData::rowBytes(QSize size, int colourType, int bitDepth,
                                             bool interlaced)
{
    if (!isDepthOf(colourType, bitDepth))
        return std::nullopt;
    const qint64 bitsPerPixel = qint64(channels(colourType)) * bitDepth;
    const auto rowsOf = [bitsPerPixel](qint64 width, qint64 height) {
        return width == 0 || height == 0 ? 0 : height * (1 + (width * bitsPerPixel + 7) / 8);
    };
    if (!interlaced)
        return rowsOf(size.width(), size.height());
    qint64 total = 0;
    for (int pass = 0; pass < 7; ++pass)
        total += rowsOf(PNG_PASS_COLS(qint64(size.width()), pass),
                        PNG_PASS_ROWS(qint64(size.height()), pass));
    return total;
}

PngImageData::Check PngImageData::check(const QByteArray &png, QSize declared,
                                        const std::stop_token &stop)
{
    const auto *file = reinterpret_cast<const uchar *>(png.constData());
    CutStream cut;
    bool cutShort = false;
    for (qsizetype at = signatureBytes; png.size() - at >= chunkHeaderBytes;) {
        const png_uint_32 length = png_get_uint_32(file + at);
        const uchar *type = file + at + 4;
        const bool imageData = std::memcmp(type, "IDAT", 4) == 0;
        // libpng reads the image data of the first run of these chunks alone, and reports a
        // length past 31 bits itself.
        if ((!imageData && !cut.pieces.isEmpty()) || length > PNG_UINT_31_MAX)
            break;
        const qsizetype available = png.size() - at - chunkHeaderBytes;
        if (qsizetype(length) + checksumBytes > available) {
            if (imageData) {
                cut.pieces.append(QByteArrayView(type + 4, std::min<qsizetype>(length, available)));
                cutShort = true;
            }
            break;
        }
        if (imageData) {
            if (crc32(0, type, uInt(length) + 4) != png_get_uint_32(type + 4 + length))
                return Check::damaged;
            cut.pieces.append(QByteArrayView(type + 4, qsizetype(length)));
            cut.checkedBytes += length;
        }
        at += chunkHeaderBytes + qsizetype(length) + checksumBytes;
    }
    if (!cutShort)
        return Check::sound;
    const std::optional<qint64> rows = rowBytes(declared, file[colourTypeOffset],
                                                file[bitDepthOffset], file[interlaceOffset] != 0);
    if (!rows)
        return Check::damaged;
    return rowsChecked(cut, *rows, stop);
}

} // namespace tolvaran::markdown
