#include "remote_image/formats/WebpCanvas.h"

#include <QByteArrayView>
#include <QtEndian>

namespace tolvaran::markdown {

namespace {

// "RIFF", the file's length, "WEBP", then the first chunk's type and length before its data.
constexpr qsizetype chunkDataStart = 20;
// A lossy picture's header: three bytes that say how its first partition is laid out and the
// start code, then 14 bits a side (the two above them say how it is scaled when shown, which
// libwebp does not do).
constexpr qsizetype lossyHeaderBytes = 10;
constexpr uchar lossyStartCode[] = {0x9d, 0x01, 0x2a};
constexpr quint16 lossySideMask = 0x3fff;
// A lossless picture's header: its signature byte, then each side less one in 14 bits.
constexpr qsizetype losslessHeaderBytes = 5;
constexpr uchar losslessSignature = 0x2f;
constexpr int losslessSideBits = 14;
// An extended file's header: flags, three reserved bytes, then each side of the canvas less
// one in 24 bits.
constexpr qsizetype extendedHeaderBytes = 10;
constexpr uchar animationFlag = 0x02;

quint32 littleEndian24(const uchar *data)
{
    return quint32(data[0]) | quint32(data[1]) << 8 | quint32(data[2]) << 16;
}

} // namespace

std::optional<WebpCanvas> WebpCanvas::read(const QByteArray &bytes)
{
    if (bytes.size() < chunkDataStart || !bytes.startsWith("RIFF")
        || QByteArrayView(bytes).sliced(8, 4) != "WEBP")
        return std::nullopt;
    const QByteArrayView type = QByteArrayView(bytes).sliced(12, 4);
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData()) + chunkDataStart;
    const qsizetype available = bytes.size() - chunkDataStart;
    WebpCanvas canvas;
    if (type == "VP8 " && available >= lossyHeaderBytes
        && QByteArrayView(data + 3, 3) == QByteArrayView(lossyStartCode, 3)) {
        canvas.size = QSize(qFromLittleEndian<quint16>(data + 6) & lossySideMask,
                            qFromLittleEndian<quint16>(data + 8) & lossySideMask);
    } else if (type == "VP8L" && available >= losslessHeaderBytes
               && data[0] == losslessSignature) {
        const quint32 sides = qFromLittleEndian<quint32>(data + 1);
        constexpr quint32 sideMask = (1u << losslessSideBits) - 1;
        canvas.size = QSize(int(sides & sideMask) + 1,
                            int((sides >> losslessSideBits) & sideMask) + 1);
    } else if (type == "VP8X" && available >= extendedHeaderBytes) {
        canvas.animated = data[0] & animationFlag;
        canvas.size = QSize(int(littleEndian24(data + 4)) + 1, int(littleEndian24(data + 7)) + 1);
    } else {
        return std::nullopt;
    }
    return canvas;
}

} // namespace tolvaran::markdown
