#include "support/markdown/TestImages.h"

#include "support/markdown/LibjpegWriter.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <span>

namespace tolvaran::fixtures {

namespace {

quint32 crc32Of(const QByteArray &bytes)
{
    return quint32(
        crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray littleEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const QByteArray &type, const QByteArray &data)
{
    const QByteArray body = type + data;
    return bigEndian(quint32(data.size())) + body + bigEndian(crc32Of(body));
}

const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);

QByteArray pngHeader(QSize size, int bitDepth, int colourType, bool interlaced)
{
    QByteArray header = bigEndian(quint32(size.width())) + bigEndian(quint32(size.height()));
    header += char(bitDepth);
    header += char(colourType);
    header += QByteArray(2, '\0'); // deflate, adaptive filtering
    header += char(interlaced ? 1 : 0);
    return chunk("IHDR", header);
}

// A zlib stream as the chunks of a PNG's image data: 64 KiB a chunk, as encoders write them.
QByteArray imageDataChunks(const QByteArray &stream)
{
    constexpr qsizetype chunkBytes = 64 * 1024;
    QByteArray chunks;
    chunks.reserve(stream.size() + (stream.size() / chunkBytes + 1) * 12);
    for (qsizetype at = 0; at < stream.size(); at += chunkBytes)
        chunks += chunk("IDAT", stream.mid(at, chunkBytes));
    return chunks;
}

// `count` zero bytes as a zlib stream, made of one deflated mebibyte of zeros written again
// and again: each copy ends in a full flush, which leaves it on a byte boundary and referring
// to nothing before it, so the copies follow one another as they are. Deflating every byte
// would take about a second a gibibyte.
QByteArray deflatedZeros(qint64 count)
{
    constexpr qint64 piece = 1024 * 1024;
    const QByteArray zeros(piece, '\0');
    const auto deflated = [&zeros](qint64 length, int flush) {
        z_stream stream{};
        // Raw deflate: the stream's header and checksum are written below, once.
        deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9,
                     Z_DEFAULT_STRATEGY);
        QByteArray out(qsizetype(deflateBound(&stream, uLong(length))) + 64, '\0');
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.constData()));
        stream.avail_in = uInt(length);
        stream.next_out = reinterpret_cast<Bytef *>(out.data());
        stream.avail_out = uInt(out.size());
        deflate(&stream, flush);
        out.truncate(out.size() - qsizetype(stream.avail_out));
        deflateEnd(&stream);
        return out;
    };
    const QByteArray copy = deflated(piece, Z_FULL_FLUSH);
    QByteArray stream("\x78\xda", 2); // deflate, a 32 KiB window, best compression
    stream.reserve(qsizetype(count / piece + 1) * copy.size() + 64);
    for (qint64 i = 0; i < count / piece; ++i)
        stream += copy;
    stream += deflated(count % piece, Z_FINISH);
    // Adler-32 of zeros: the sum of the bytes stays 1, the sum of those sums grows by 1 a byte.
    return stream + bigEndian(quint32((count % 65521) << 16) | 1u);
}

// The samples of one row of an interlace pass (or of the whole picture), packed as PNG packs
// them: bit depths under 8 several to a byte, the first in the high bits; 16 big-endian.
QByteArray packedRow(const QList<int> &samples, int bitDepth)
{
    QByteArray row;
    if (bitDepth >= 8) {
        for (const int sample : samples) {
            if (bitDepth == 16)
                row += char(sample >> 8);
            row += char(sample & 0xff);
        }
        return row;
    }
    const int perByte = 8 / bitDepth;
    row.fill('\0', (samples.size() + perByte - 1) / perByte);
    for (qsizetype i = 0; i < samples.size(); ++i)
        row[i / perByte] = char(quint8(row[i / perByte])
                                | samples[i] << (8 - bitDepth * (i % perByte + 1)));
    return row;
}

} // namespace

QByteArray pngImage(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

namespace {

QByteArray encoded(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

QImage drawing(QSize size, int bitsPerChannel, const QString &label)
{
    QImage image(size, bitsPerChannel > 8 ? QImage::Format_RGBA64 : QImage::Format_ARGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), 0);
    gradient.setColorAt(0, QColor(30, 60, 160));
    gradient.setColorAt(1, QColor(230, 240, 250));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(QColor(20, 20, 20), std::max(1, size.width() / 512)));
    for (int y = size.height() / 16; y < size.height(); y += std::max(1, size.height() / 8))
        painter.drawLine(0, y, size.width(), y);
    painter.drawLine(0, 0, size.width(), size.height());
    QFont font;
    font.setPixelSize(std::max(8, size.height() / 20));
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("%1\n%2 bits a channel").arg(label).arg(bitsPerChannel));
    painter.end();
    return image;
}

} // namespace

QByteArray pngOfDrawing(QSize size, int bitsPerChannel, const QString &label)
{
    return encoded(drawing(size, bitsPerChannel, label), "PNG");
}

QByteArray pngOfDrawingAs(QSize size, QImage::Format format, const QString &label)
{
    return encoded(drawing(size, 8, label).convertToFormat(format), "PNG");
}

QByteArray jpegOfDrawing(QSize size, const QString &label, int quality)
{
    return encoded(drawing(size, 8, label).convertToFormat(QImage::Format_RGB32), "JPEG",
                   quality);
}

QByteArray pngOfNoise(QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB888);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y)
        random.fillRange(reinterpret_cast<quint32 *>(image.scanLine(y)),
                         image.bytesPerLine() / qsizetype(sizeof(quint32)));
    return encoded(image, "PNG");
}

QByteArray svgImage(QSize size, QColor colour)
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                          "viewBox=\"0 0 %1 %2\"><rect x=\"0\" y=\"0\" width=\"%1\" "
                          "height=\"%2\" fill=\"%3\"/></svg>")
        .arg(size.width())
        .arg(size.height())
        .arg(colour.name())
        .toUtf8();
}

QByteArray pngDeclaringSize(QSize declared)
{
    QByteArray header =
        bigEndian(quint32(declared.width())) + bigEndian(quint32(declared.height()));
    header += QByteArray("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, no interlace
    // The first row: its filter byte and black pixels. qCompress writes a zlib stream after a
    // four-byte length of its own.
    const QByteArray row(1 + qsizetype(declared.width()) * 3, '\0');
    const QByteArray rows = qCompress(row, 9).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", rows)
           + chunk("IEND", {});
}

QList<PngChunk> pngChunks(const QByteArray &png)
{
    QList<PngChunk> chunks;
    qsizetype at = pngSignature.size();
    while (png.size() - at >= 12) {
        const qsizetype length = qFromBigEndian<quint32>(png.constData() + at);
        if (length > png.size() - at - 12)
            break;
        chunks.append({png.mid(at + 4, 4), at + 8, length});
        at += 12 + length;
    }
    return chunks;
}

QByteArray pngWithImageDataRechunked(const QByteArray &png, const QList<qsizetype> &splits)
{
    QByteArray before = pngSignature;
    QByteArray stream;
    QByteArray after;
    for (const PngChunk &found : pngChunks(png)) {
        const QByteArray data = png.mid(found.dataOffset, found.length);
        if (found.type == "IDAT")
            stream += data;
        else
            (stream.isEmpty() ? before : after) += chunk(found.type, data);
    }
    qsizetype from = 0;
    for (const qsizetype split : splits) {
        before += chunk("IDAT", stream.mid(from, split - from));
        from = split;
    }
    return before + chunk("IDAT", stream.mid(from)) + after;
}

QByteArray pngWithChunkData(const QByteArray &png, const QByteArray &type,
                            const QByteArray &data)
{
    for (const PngChunk &found : pngChunks(png)) {
        if (found.type == type)
            return png.left(found.dataOffset - 8) + chunk(type, data)
                   + png.mid(found.dataOffset + found.length + 4);
    }
    return png;
}

QByteArray svgOfCoveringCircles(QSize size, int count)
{
    const int radius = qMax(size.width(), size.height());
    QByteArray svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" "
                                    "height=\"%2\">")
                         .arg(size.width())
                         .arg(size.height())
                         .toUtf8();
    for (int i = 0; i < count; ++i)
        svg += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"#%4\" "
                              "fill-opacity=\"0.5\"/>")
                   .arg(size.width() / 2)
                   .arg(size.height() / 2)
                   .arg(radius)
                   .arg(0x100000 + (i * 7919) % 0xEFFFFF, 6, 16)
                   .toUtf8();
    return svg + "</svg>";
}

QByteArray gzipped(const QByteArray &bytes)
{
    // qCompress writes a four-byte length, then a zlib stream: a two-byte header, the deflate
    // data and a four-byte checksum. A gzip file holds the same deflate data between its own
    // header and trailer.
    const QByteArray zlib = qCompress(bytes, 9);
    const QByteArray deflated = zlib.mid(6, zlib.size() - 10);
    return QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff", 10) + deflated
           + littleEndian(crc32Of(bytes)) + littleEndian(quint32(bytes.size()));
}

qint64 pngRowBytes(QSize size, int bitsPerChannel)
{
    return qint64(size.height()) * (1 + qint64(size.width()) * 4 * bitsPerChannel / 8);
}

QByteArray pngWithImageData(QSize size, int bitsPerChannel, qint64 inflatedBytes)
{
    return pngSignature + pngHeader(size, bitsPerChannel, pngRgba, false)
           + imageDataChunks(deflatedZeros(inflatedBytes)) + chunk("IEND", {});
}

QByteArray pngWithCompressedText(QSize size, qint64 textBytes)
{
    // Under the most libpng inflates of one chunk (8,000,000 bytes), so each is inflated whole.
    constexpr qint64 chunkText = 7 * 1024 * 1024;
    QByteArray png = pngSignature + pngHeader(size, 8, pngRgba, false);
    const QByteArray text = "Comment" + QByteArray(2, '\0') + deflatedZeros(chunkText);
    for (qint64 inflated = 0; inflated < textBytes; inflated += chunkText)
        png += chunk("zTXt", text);
    return png + imageDataChunks(deflatedZeros(pngRowBytes(size, 8))) + chunk("IEND", {});
}

QByteArray pngOfSamples(QSize size, int colourType, int bitDepth, bool transparentColour,
                        bool interlaced)
{
    const int channels = colourType == pngRgb ? 3
                         : colourType == pngGreyAlpha ? 2
                         : colourType == pngRgba ? 4 : 1;
    const int maximum = (1 << bitDepth) - 1;
    // Every value a sample can hold turns up, scattered, on a picture of a few hundred pixels.
    const auto sample = [maximum](int x, int y, int channel) {
        return int((quint32(x * 37 + y * 101 + channel * 59) * 2654435761u) >> 9) & maximum;
    };
    QByteArray png = pngSignature + pngHeader(size, bitDepth, colourType, interlaced);
    if (colourType == pngPalette) {
        QByteArray colours;
        QByteArray alphas;
        for (int i = 0; i <= maximum; ++i) {
            colours += char(i * 53);
            colours += char(i * 97 + 20);
            colours += char(i * 31 + 200);
            alphas += char(i * 67);
        }
        png += chunk("PLTE", colours);
        if (transparentColour)
            png += chunk("tRNS", alphas);
    } else if (transparentColour) {
        // The colour of the first pixel, which turns up elsewhere too, drawn transparent.
        QByteArray colour;
        for (int channel = 0; channel < channels; ++channel)
            colour += bigEndian(quint32(sample(0, 0, channel))).right(2);
        png += chunk("tRNS", colour);
    }
    // Adam7's passes: where each starts and how far apart its pixels are, down and across.
    struct Pass
    {
        int top, left, down, across;
    };
    static constexpr Pass adam7[] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                                     {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};
    static constexpr Pass whole[] = {{0, 0, 1, 1}};
    QByteArray rows;
    for (const Pass &pass : interlaced ? std::span<const Pass>(adam7) : std::span(whole)) {
        // A pass with no pixels has no rows, not even their filter bytes.
        if (pass.left >= size.width())
            continue;
        for (int y = pass.top; y < size.height(); y += pass.down) {
            QList<int> samples;
            for (int x = pass.left; x < size.width(); x += pass.across) {
                for (int channel = 0; channel < channels; ++channel)
                    samples += sample(x, y, channel);
            }
            rows += '\0'; // no filter
            rows += packedRow(samples, bitDepth);
        }
    }
    // qCompress writes a four-byte length of its own before the zlib stream.
    return png + imageDataChunks(qCompress(rows, 9).mid(4)) + chunk("IEND", {});
}

QByteArray qtWritten(QSize size, const char *format, bool drawn)
{
    QImage image = drawn ? drawing(size, 8, QStringLiteral("written"))
                         : QImage(size, QImage::Format_ARGB32);
    if (!drawn)
        image.fill(QColor(90, 140, 200));
    const QByteArray name(format);
    if (name == "PBM" || name == "XBM")
        image = image.convertToFormat(QImage::Format_Mono);
    else if (name != "ICO" && name != "PNG")
        image = image.convertToFormat(QImage::Format_RGB32);
    return encoded(image, format);
}

namespace {

struct JpegSegment
{
    uchar marker;
    qsizetype start;
    qsizetype end;
};

// The segments of a JPEG file from its start to its end marker, each scan with its coded data.
QList<JpegSegment> jpegSegments(const QByteArray &jpeg)
{
    const auto at = [&jpeg](qsizetype i) { return uchar(jpeg[i]); };
    QList<JpegSegment> segments;
    qsizetype position = 2;
    while (position + 1 < jpeg.size() && at(position + 1) != 0xd9) {
        const uchar marker = at(position + 1);
        qsizetype end = position + 2 + (at(position + 2) << 8 | at(position + 3));
        if (marker == 0xda) {
            while (end + 1 < jpeg.size()
                   && !(at(end) == 0xff && at(end + 1) != 0 && (at(end + 1) & 0xf8) != 0xd0))
                ++end;
        }
        segments.append({marker, position, end});
        position = end;
    }
    segments.append({0xd9, position, jpeg.size()});
    return segments;
}

} // namespace

QByteArray progressiveJpeg(QSize size, int repeats)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(90, 140, 200));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    const QList<JpegSegment> segments = jpegSegments(jpeg);
    // The last scan refines the finest detail of the brightness; its Huffman table comes
    // before it.
    qsizetype scan = segments.size() - 2;
    while (segments[scan].marker != 0xda)
        --scan;
    const qsizetype from = segments[scan - 1].marker == 0xc4 ? segments[scan - 1].start
                                                               : segments[scan].start;
    const QByteArray repeated = jpeg.mid(from, segments[scan].end - from);
    QByteArray bomb = jpeg.left(segments.last().start);
    bomb.reserve(bomb.size() + repeated.size() * repeats + 2);
    for (int i = 0; i < repeats; ++i)
        bomb += repeated;
    return bomb + jpeg.mid(segments.last().start);
}

namespace {

QByteArray littleEndian16(int value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(quint16(value), bytes.data());
    return bytes;
}

// Codes packed as GIF packs them, each `width` bits, the first in the lowest bits, then cut
// into sub-blocks of 255 bytes and ended by an empty one.
class GifCodes
{
public:
    void add(int code, int width)
    {
        m_bits |= quint64(code) << m_count;
        m_count += width;
        while (m_count >= 8) {
            m_bytes += char(m_bits & 0xff);
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    qsizetype size() const { return m_bytes.size(); }
    QByteArray subBlocks()
    {
        if (m_count > 0)
            add(0, 8 - m_count);
        QByteArray blocks;
        for (qsizetype at = 0; at < m_bytes.size(); at += 255) {
            const QByteArray block = m_bytes.mid(at, 255);
            blocks += char(block.size());
            blocks += block;
        }
        return blocks + '\0';
    }

private:
    QByteArray m_bytes;
    quint64 m_bits = 0;
    int m_count = 0;
};

// A GIF file of a logical screen of `screen` in four colours (codes of 3 bits to begin with),
// whose one frame is `frame`, around `codes`.
QByteArray gifFile(QSize screen, QRect frame, GifCodes &codes)
{
    QByteArray gif = "GIF89a" + littleEndian16(screen.width()) + littleEndian16(screen.height());
    gif += QByteArray("\x81\x00\x00", 3); // a global table of four colours
    gif += QByteArray("\x00\x00\x00\xff\x00\x00\x00\xff\x00\x00\x00\xff", 12);
    gif += ',' + littleEndian16(frame.x()) + littleEndian16(frame.y())
           + littleEndian16(frame.width()) + littleEndian16(frame.height()) + '\0';
    return gif + '\x02' + codes.subBlocks() + ';';
}

constexpr int gifClear = 4;
constexpr int gifEnd = 5;
constexpr int gifLargestCode = 4095;

// Codes that each name the longest string there is so far (strings of one pixel more each,
// until the table is full, then the longest of them again and again), until they take
// `bytes` or have written `pixels`, and the end code.
GifCodes longestStrings(qsizetype bytes, qint64 pixels)
{
    GifCodes codes;
    codes.add(gifClear, 3);
    qint64 written = 0;
    if (pixels > 0) {
        codes.add(0, 3);
        written = 1;
    }
    int width = 3;
    int next = gifEnd + 1;
    // Each code names the string about to be added: the one before and one pixel more.
    while (codes.size() < bytes - 64 && written < pixels) {
        const int code = std::min(next, gifLargestCode);
        codes.add(code, width);
        written += code - gifClear;
        if (next <= gifLargestCode && ++next == (1 << width) && width < 12)
            ++width;
    }
    codes.add(gifEnd, width);
    return codes;
}

} // namespace

QByteArray gifImage(QSize size)
{
    GifCodes codes;
    // After a clear code, the table takes a string for each code but the first: a third code
    // would fill the codes of 3 bits and widen those after it.
    constexpr int codesPerClear = 2;
    int sinceClear = codesPerClear;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (sinceClear == codesPerClear) {
                codes.add(gifClear, 3);
                sinceClear = 0;
            }
            codes.add((x / 3 + y / 2) % 4, 3);
            ++sinceClear;
        }
    }
    codes.add(gifEnd, 3);
    return gifFile(size, QRect({}, size), codes);
}

QByteArray gifOfLongestStrings(qsizetype bytes)
{
    GifCodes codes = longestStrings(bytes, std::numeric_limits<qint64>::max());
    return gifFile({1, 1}, {0, 0, 1, 1}, codes);
}

QByteArray gifOfFrame(QSize screen, QRect frame)
{
    GifCodes codes = longestStrings(std::numeric_limits<qsizetype>::max(),
                                    qint64(frame.width()) * frame.height());
    return gifFile(screen, frame, codes);
}

QByteArray gifOfUnwidenedCodes(QSize size)
{
    GifCodes codes;
    codes.add(gifClear, 3);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            codes.add((x + y) % 4, 3);
    }
    codes.add(gifEnd, 3);
    return gifFile(size, QRect({}, size), codes);
}

QByteArray arithmeticJpeg(QSize size, bool progressive)
{
    return LibjpegWriter{true, progressive, {}}.write(
        drawing(size, 8, QStringLiteral("arithmetic")));
}

QByteArray webpImage(QSize size, bool lossless)
{
    if (!QImageWriter::supportedImageFormats().contains("webp"))
        return {};
    return encoded(drawing(size, 8, QStringLiteral("webp")), "WEBP", lossless ? 100 : 80);
}

namespace {

QByteArray littleEndian24(quint32 value)
{
    return littleEndian(value).left(3);
}

// A RIFF chunk: its type, its length and its data, padded to an even length.
QByteArray riffChunk(const QByteArray &type, const QByteArray &data)
{
    return type + littleEndian(quint32(data.size())) + data
           + QByteArray(data.size() % 2, '\0');
}

QByteArray riffWebp(const QByteArray &chunks)
{
    return "RIFF" + littleEndian(quint32(4 + chunks.size())) + "WEBP" + chunks;
}

// An extended file's header: its flags, and the canvas's sides less one.
QByteArray extendedHeader(QSize canvas, uchar flags)
{
    return riffChunk("VP8X", char(flags) + QByteArray(3, '\0')
                                 + littleEndian24(quint32(canvas.width() - 1))
                                 + littleEndian24(quint32(canvas.height() - 1)));
}

} // namespace

QByteArray webpAnimation(QSize canvas, QSize frame)
{
    const QByteArray still = webpImage(frame, true);
    if (still.isEmpty())
        return {};
    constexpr uchar animationFlag = 0x02;
    constexpr uchar alphaFlag = 0x10;
    // The frame's picture: the chunks of a still file after its "RIFF" header.
    const QByteArray picture = still.mid(12);
    const QByteArray frameHeader = littleEndian24(0) + littleEndian24(0)
                                   + littleEndian24(quint32(frame.width() - 1))
                                   + littleEndian24(quint32(frame.height() - 1))
                                   + littleEndian24(100) + char(0);
    return riffWebp(extendedHeader(canvas, animationFlag | alphaFlag)
                    + riffChunk("ANIM", QByteArray(4, '\0') + littleEndian16(0))
                    + riffChunk("ANMF", frameHeader + picture));
}

QByteArray webpDeclaringCanvas(QSize canvas)
{
    return riffWebp(extendedHeader(canvas, 0));
}

QByteArray iconHolding(const QByteArray &picture, QSize size, bool cursor)
{
    // A bitmap from an ICO file of Qt's: the picture its only directory entry points to.
    QByteArray held = picture;
    if (picture.startsWith(QByteArray("\0\0\x01\0", 4)))
        held = picture.mid(qFromLittleEndian<quint32>(picture.constData() + 18));
    QByteArray icon = QByteArray("\0\0", 2) + littleEndian16(cursor ? 2 : 1) + littleEndian16(1);
    icon += char(size.width() & 0xff);
    icon += char(size.height() & 0xff);
    icon += QByteArray(2, '\0');
    icon += littleEndian16(1) + littleEndian16(32) + littleEndian(quint32(held.size()))
            + littleEndian(6 + 16);
    return icon + held;
}

QByteArray svgEmbedding(const QList<QByteArray> &pictures, const QByteArray &address)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                     "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"10\" height=\"10\">";
    for (const QByteArray &picture : pictures)
        svg += "<image x=\"0\" y=\"0\" width=\"10\" height=\"10\" xlink:href=\"" + address
               + picture.toBase64() + "\"/>";
    return svg + "</svg>";
}

QByteArray svgWithStyleSheet(const QByteArray &path)
{
    return "<?xml-stylesheet type=\"text/css\" href=\"" + path
           + "\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
             "<rect width=\"10\" height=\"10\"/></svg>";
}

QByteArray svgOfGradientStops(int stops)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"20\">"
                     "<linearGradient id=\"g\">";
    for (int i = 0; i < stops; ++i)
        svg += "<stop offset=\"" + QByteArray::number(double(i) / stops) + "\" stop-color=\"#"
               + QByteArray::number(0x100000 + i % 0xefffff, 16) + "\"/>";
    return svg + "</linearGradient><rect width=\"100\" height=\"20\" fill=\"url(#g)\"/></svg>";
}

QByteArray svgOfTextInScripts(qsizetype characters, const QByteArray &element)
{
    const char16_t *const words[] = {u"Hello world ", u"Привет мир ", u"Γειά σου ",
                                     u"שלום עולם ", u"مرحبا بالعالم ", u"नमस्ते दुनिया ",
                                     u"你好世界 ", u"こんにちは ", u"안녕하세요 ",
                                     u"สวัสดีชาวโลก "};
    QString text;
    for (int i = 0; text.size() < characters; ++i)
        text += QString::fromUtf16(words[i % 10]);
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"300\"><" + element
           + " x=\"0\" y=\"20\" width=\"400\" height=\"auto\" font-size=\"12\">"
           + text.left(characters).toUtf8() + "</" + element + "></svg>";
}

QByteArray badgeWithSvgLogo()
{
    const QByteArray logo =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 24 24\" width=\"24\" "
        "height=\"24\"><path fill=\"#fff\" d=\"M12 2L2 7l10 5 10-5-10-5zm0 7.5L4.5 6 12 "
        "2.5 19.5 6 12 9.5zM2 17l10 5 10-5M2 12l10 5 10-5\"/></svg>";
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" "
           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"104\" height=\"20\">"
           "<linearGradient id=\"s\" x2=\"0\" y2=\"100%\"><stop offset=\"0\" "
           "stop-color=\"#bbb\" stop-opacity=\".1\"/><stop offset=\"1\" stop-opacity=\".1\"/>"
           "</linearGradient><clipPath id=\"r\"><rect width=\"104\" height=\"20\" rx=\"3\" "
           "fill=\"#fff\"/></clipPath><g clip-path=\"url(#r)\"><rect width=\"55\" "
           "height=\"20\" fill=\"#555\"/><rect x=\"55\" width=\"49\" height=\"20\" "
           "fill=\"#4c1\"/><rect width=\"104\" height=\"20\" fill=\"url(#s)\"/></g>"
           "<g fill=\"#fff\" font-family=\"Verdana,Geneva,DejaVu Sans,sans-serif\" "
           "font-size=\"11\"><image x=\"5\" y=\"3\" width=\"14\" height=\"14\" "
           "xlink:href=\"data:image/svg+xml;base64,"
           + logo.toBase64()
           + "\"/><text x=\"22\" y=\"14\">build</text><text x=\"59\" y=\"14\">passing</text>"
             "</g></svg>";
}

} // namespace tolvaran::fixtures
