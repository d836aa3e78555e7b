#include "support/markdown/TestImages.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace tolvaran::fixtures {

namespace {

// PNG's chunk checksum (CRC-32 of ISO 3309). Qt offers no public CRC-32, and these few lines
// spare the fixtures a dependency on zlib's headers.
quint32 crc32(const QByteArray &bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> entries{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
        return entries;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char byte : bytes)
        c = table[(c ^ quint8(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
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
    return bigEndian(quint32(data.size())) + body + bigEndian(crc32(body));
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
    for (int y = size.height() / 16; y < size.height(); y += size.height() / 8)
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
           + littleEndian(crc32(bytes)) + littleEndian(quint32(bytes.size()));
}

} // namespace tolvaran::fixtures
