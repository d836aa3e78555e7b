#include "remote_image/formats/IconEntry.h"

#include "remote_image/png/PngReader.h"

#include <QtEndian>

#include <algorithm>
#include <iterator>

namespace tolvaran::markdown {

namespace {

constexpr qsizetype directoryHeaderBytes = 6;
constexpr qsizetype entryBytes = 16;
constexpr quint16 iconType = 1;
constexpr quint16 cursorType = 2;
// The sizes of the bitmap headers that icons use (BITMAPINFOHEADER, and its fourth and fifth
// versions).
constexpr quint32 bitmapHeaderSizes[] = {40, 108, 124};

// The most pixels a side of a bitmap that Qt's reader draws.
constexpr qint64 largestBitmapSide = 256;

} // namespace

std::optional<IconEntry> IconEntry::read(const QByteArray &bytes)
{
    if (bytes.size() < directoryHeaderBytes + entryBytes)
        return std::nullopt;
    const auto *data = bytes.constData();
    const quint16 type = qFromLittleEndian<quint16>(data + 2);
    if (qFromLittleEndian<quint16>(data) != 0 || (type != iconType && type != cursorType)
        || qFromLittleEndian<quint16>(data + 4) == 0)
        return std::nullopt;
    const qsizetype entry = directoryHeaderBytes;
    const qint64 length = qFromLittleEndian<quint32>(data + entry + 8);
    const qint64 offset = qFromLittleEndian<quint32>(data + entry + 12);
    if (offset + length > bytes.size() || length < 8)
        return std::nullopt;
    IconEntry found;
    const QByteArray picture = bytes.mid(offset, length);
    if (PngReader::handles(picture)) {
        found.png = picture;
        return found;
    }
    const quint32 headerSize = qFromLittleEndian<quint32>(picture.constData());
    if (std::find(std::begin(bitmapHeaderSizes), std::end(bitmapHeaderSizes), headerSize)
            == std::end(bitmapHeaderSizes)
        || picture.size() < 12)
        return std::nullopt;
    // As Qt's reader takes it: the directory's size, a side it gives as 0 from the bitmap's
    // header (whose height counts the colours and the mask), and none over 256 pixels a side.
    const qint64 width = uchar(bytes[entry])
                             ? uchar(bytes[entry])
                             : qint64(qFromLittleEndian<qint32>(picture.constData() + 4));
    const qint64 height = uchar(bytes[entry + 1])
                              ? uchar(bytes[entry + 1])
                              : qint64(qFromLittleEndian<qint32>(picture.constData() + 8)) / 2;
    if (width <= 0 || height <= 0 || width > largestBitmapSide || height > largestBitmapSide)
        return std::nullopt;
    found.bitmapSize = QSize(int(width), int(height));
    return found;
}

} // namespace tolvaran::markdown
