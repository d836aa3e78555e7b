#pragma once

#include <QByteArray>
#include <QImage>

#include <cstdio>
#include <span>

#include <jpeglib.h>

namespace tolvaran::fixtures {

// JPEG files written with libjpeg itself, for what Qt's writer does not write: arithmetic
// coding, and scans of the test's own choosing.
struct LibjpegWriter
{
    bool arithmetic = false;
    // libjpeg's own progressive scans where set, unless `scans` names others.
    bool progressive = false;
    std::span<const jpeg_scan_info> scans;

    // `image`, grey (Format_Grayscale8) or in colour (Format_RGB888), at libjpeg's default
    // quality.
    QByteArray write(const QImage &image) const;
};

} // namespace tolvaran::fixtures
