#include "remote_image/formats/JpegScans.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace tolvaran::markdown {

namespace {

constexpr uchar markerPrefix = 0xff;
constexpr uchar startOfImage = 0xd8;
constexpr uchar endOfImage = 0xd9;
constexpr uchar startOfScan = 0xda;
constexpr uchar firstRestart = 0xd0;
constexpr uchar lastRestart = 0xd7;
// Baseline, extended and progressive frames, Huffman-coded, and extended and progressive ones
// arithmetic-coded: their scans are laid out alike (their coding's tables in segments of
// their own), and cost alike (a scan that carries no data a tenth more, measured with
// Debian's libjpeg-turbo 2.1).
constexpr uchar decodedFrames[] = {0xc0, 0xc1, 0xc2, 0xc9, 0xca};

bool isRestart(uchar marker)
{
    return marker >= firstRestart && marker <= lastRestart;
}

// Markers that stand alone, without a length and a segment.
bool standsAlone(uchar marker)
{
    return isRestart(marker) || marker == 0x01 || marker == startOfImage;
}

// Frames other than those decoded: 0xc0 to 0xcf but for the tables that share the range.
bool isFrame(uchar marker)
{
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8
           && marker != 0xcc;
}

} // namespace

std::optional<JpegScans> JpegScans::read(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 4 || data[0] != markerPrefix || data[1] != startOfImage)
        return std::nullopt;
    JpegScans found;
    bool framed = false;
    qsizetype at = 2;
    while (at < size) {
        // libjpeg passes over whatever comes between segments up to the next marker, and over
        // the 0xFF bytes that may pad a marker.
        const void *prefix = std::memchr(data + at, markerPrefix, size_t(size - at));
        if (!prefix)
            break;
        at = static_cast<const uchar *>(prefix) - data;
        while (at < size && data[at] == markerPrefix)
            ++at;
        if (at >= size)
            break;
        const uchar marker = data[at++];
        if (marker == 0x00)
            continue;
        if (marker == endOfImage)
            break;
        if (standsAlone(marker)) {
            // A second start of the image is an error to libjpeg.
            if (marker == startOfImage)
                return std::nullopt;
            continue;
        }
        if (at + 2 > size)
            break;
        const qsizetype length = qFromBigEndian<quint16>(data + at);
        if (length < 2 || at + length > size)
            return std::nullopt;
        if (isFrame(marker)) {
            if (framed || length < 8
                || std::find(std::begin(decodedFrames), std::end(decodedFrames), marker)
                       == std::end(decodedFrames))
                return std::nullopt;
            framed = true;
            found.frameSize = QSize(qFromBigEndian<quint16>(data + at + 5),
                                    qFromBigEndian<quint16>(data + at + 3));
        }
        at += length;
        if (marker != startOfScan)
            continue;
        ++found.scans;
        // The coded data: up to the next marker other than a restart, past stuffed bytes.
        while (at < size) {
            const void *next = std::memchr(data + at, markerPrefix, size_t(size - at));
            if (!next) {
                at = size;
                break;
            }
            at = static_cast<const uchar *>(next) - data;
            qsizetype after = at + 1;
            while (after < size && data[after] == markerPrefix)
                ++after;
            if (after < size && (data[after] == 0x00 || isRestart(data[after]))) {
                at = after + 1;
                continue;
            }
            break;
        }
    }
    if (!framed || found.frameSize.isEmpty())
        return std::nullopt;
    return found;
}

} // namespace tolvaran::markdown
