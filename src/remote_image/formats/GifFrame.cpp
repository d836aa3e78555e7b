#include "remote_image/formats/GifFrame.h"

#include <QRect>
#include <QtEndian>

#include <array>
#include <optional>

namespace tolvaran::markdown {

namespace {

constexpr qsizetype headerBytes = 6;
constexpr qsizetype screenDescriptorBytes = 7;
constexpr qsizetype imageDescriptorBytes = 9;
constexpr uchar extensionIntroducer = 0x21;
constexpr uchar imageSeparator = 0x2c;
constexpr uchar colourTableFlag = 0x80;
constexpr int largestCodeBits = 12;
constexpr int tableSize = 1 << largestCodeBits;

// The bytes of the sub-blocks that follow `at` (each a length byte and that many bytes, the
// last of length 0), read as a stream of bits, the first in the lowest bit.
class SubBlockBits
{
public:
    SubBlockBits(const uchar *data, qsizetype size, qsizetype at)
        : m_data(data)
        , m_size(size)
        , m_at(at)
    {
    }

    // The next code of `width` bits; none once the sub-blocks or the file end.
    std::optional<int> next(int width)
    {
        while (m_bitCount < width) {
            if (m_blockLeft == 0) {
                if (m_at >= m_size || m_data[m_at] == 0)
                    return std::nullopt;
                m_blockLeft = m_data[m_at++];
            }
            if (m_at >= m_size)
                return std::nullopt;
            m_bits |= quint32(m_data[m_at++]) << m_bitCount;
            m_bitCount += 8;
            --m_blockLeft;
        }
        const int code = int(m_bits & ((1u << width) - 1));
        m_bits >>= width;
        m_bitCount -= width;
        return code;
    }

private:
    const uchar *m_data;
    qsizetype m_size;
    qsizetype m_at;
    int m_blockLeft = 0;
    quint32 m_bits = 0;
    int m_bitCount = 0;
};

// Past the sub-blocks that start at `at`; the file's end where they run past it.
qsizetype skipSubBlocks(const uchar *data, qsizetype size, qsizetype at)
{
    while (at < size && data[at] != 0)
        at += 1 + data[at];
    return at + 1;
}

} // namespace

std::variant<GifFrame, RemoteImageError> GifFrame::read(const QByteArray &bytes,
                                                        qint64 maximumPixels)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < headerBytes + screenDescriptorBytes
        || (!bytes.startsWith("GIF87a") && !bytes.startsWith("GIF89a")))
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    GifFrame frame;
    const int screenWidth = qFromLittleEndian<quint16>(data + 6);
    const int screenHeight = qFromLittleEndian<quint16>(data + 8);
    qsizetype at = headerBytes + screenDescriptorBytes;
    const uchar screenFlags = data[10];
    if (screenFlags & colourTableFlag)
        at += 3 * (qsizetype(2) << (screenFlags & 7));
    // Extensions up to the first frame.
    while (at < size && data[at] == extensionIntroducer)
        at = skipSubBlocks(data, size, at + 2);
    if (at + imageDescriptorBytes + 1 > size || data[at] != imageSeparator)
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    const int left = qFromLittleEndian<quint16>(data + at + 1);
    const int top = qFromLittleEndian<quint16>(data + at + 3);
    frame.frameSize = QSize(qFromLittleEndian<quint16>(data + at + 5),
                            qFromLittleEndian<quint16>(data + at + 7));
    frame.canvasSize = QSize(screenWidth > 0 ? screenWidth : left + frame.frameSize.width(),
                             screenHeight > 0 ? screenHeight : top + frame.frameSize.height());
    const qint64 framePixels = qint64(frame.frameSize.width()) * frame.frameSize.height();
    if (framePixels > maximumPixels)
        return RemoteImageError(RemoteImageErrorKind::imageTooLarge);
    if (!QRect(QPoint(left, top), frame.frameSize).intersects(QRect(QPoint(), frame.canvasSize)))
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    const uchar frameFlags = data[at + 9];
    at += 1 + imageDescriptorBytes;
    if (frameFlags & colourTableFlag)
        at += 3 * (qsizetype(2) << (frameFlags & 7));
    if (at >= size)
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    const int rootBits = data[at];
    // Palettes have at most 256 colours; wider roots leave no room for codes of 12 bits.
    if (rootBits < 1 || rootBits > 8)
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);

    // LZW as GIF has it: codes of rootBits + 1 bits to begin with, one bit wider each time
    // the table fills the codes of the width it has, up to 12 bits; a full table takes no
    // more strings until the next clear code. Each string is the one before it and one pixel
    // more, so its length is all that is kept.
    const int clear = 1 << rootBits;
    const int end = clear + 1;
    std::array<qint32, tableSize> lengths;
    lengths.fill(1);
    int width = rootBits + 1;
    int nextCode = clear + 2;
    int previous = -1;
    SubBlockBits codes(data, size, at + 1);
    while (const std::optional<int> code = codes.next(width)) {
        if (++frame.codes > 2 * framePixels + 2)
            return RemoteImageError(RemoteImageErrorKind::imageTooComplex);
        if (*code == clear) {
            width = rootBits + 1;
            nextCode = clear + 2;
            previous = -1;
            continue;
        }
        if (*code == end)
            break;
        // Qt's reader writes what comes past the frame's last pixel off the frame, and draws
        // the frame (a file whose codes do not widen reads so): as many pixels again are let
        // through.
        if (frame.pixelsWritten >= 2 * framePixels)
            return RemoteImageError(RemoteImageErrorKind::imageTooComplex);
        // Qt's reader takes any code it is not expecting as the string about to be added, as
        // it takes any first code as one pixel: a file whose codes do not widen as its table
        // grows (some encoders write them so) is read as codes of other widths and drawn.
        qint32 length = 0;
        if (previous < 0)
            length = 1;
        else if (*code < nextCode)
            length = lengths[size_t(*code)];
        else // the one before and its own first pixel
            length = lengths[size_t(previous)] + 1;
        if (previous >= 0 && nextCode < tableSize) {
            lengths[size_t(nextCode)] = lengths[size_t(previous)] + 1;
            ++nextCode;
            if (nextCode == (1 << width) && width < largestCodeBits)
                ++width;
        }
        frame.pixelsWritten += length;
        previous = *code;
    }
    if (frame.pixelsWritten == 0)
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    return frame;
}

} // namespace tolvaran::markdown
