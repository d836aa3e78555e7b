#pragma once

#include <QByteArray>
#include <QSize>

#include <optional>

namespace tolvaran::markdown {

// The frame and the scans of a JPEG file, found by walking its markers as libjpeg reads them,
// before any of it is decoded. A progressive file is decoded scan by scan, each a pass over
// the blocks of its components: a file of 16 MB can hold half a million scans of a few bytes
// each, about a millisecond each at 12 million pixels. Its scans are what it costs.
//
// libjpeg has no limit on them that Qt's reader sets, so the walk is ours: segments are
// passed over by their lengths, a scan's coded data up to the first marker in it (0xFF
// followed by anything but 0x00, a stuffed 0xFF, or a restart marker), and nothing after the
// end of the image is read, as libjpeg reads none of it.
struct JpegScans final
{
    // The scans a sound progressive file has: libjpeg writes 10 for colour pictures.
    static constexpr qint64 typicalProgressiveScans = 10;
    // What a scan costs besides the blocks it goes over, in pixels: setting it up takes about
    // half a microsecond, what a few hundred pixels of its costliest kind take.
    static constexpr qint64 scanSetUpPixels = 1024;

    QSize frameSize;
    qint64 scans = 0;

    // None where the file is no JPEG that libjpeg decodes as Qt's reader asks it to: without a
    // frame of baseline, extended or progressive pictures, Huffman- or arithmetic-coded
    // (lossless and hierarchical files are not), or with a second frame or a marker segment
    // that runs past the end of the file.
    static std::optional<JpegScans> read(const QByteArray &bytes);
};

} // namespace tolvaran::markdown
