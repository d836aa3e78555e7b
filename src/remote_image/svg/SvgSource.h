#pragma once

#include "remote_image/RemoteImageDecodeLimits.h"
#include "remote_image/RemoteImageError.h"

#include <QByteArray>
#include <QSizeF>

#include <stop_token>
#include <variant>

namespace tolvaran::markdown {

// The text of an SVG file, made safe to hand to Qt's SVG renderer, which would otherwise:
// - inflate a compressed file without any limit (a few kilobytes become gigabytes);
// - read every picture that an image element names from the disk, any file at all, and wait
//   without end on a pipe;
// - draw an SVG embedded as a picture on its own, outside any budget.
// So a compressed file is inflated here up to maximumTextBytes, and an image element may only
// name a data address, and the picture Qt's renderer decodes from one may only be a raster
// picture of a format decoded here, each checked as Qt's own readers would decode it and all
// within the limits together (RasterBounds): Qt's PNG reader, for one, would inflate a PNG's
// data past its last row. What it finds is
// also what reading the document costs before anything is drawn (its elements and text), and
// what the loader needs to tell a costly drawing from a cheap one (the size it declares).
struct SvgSource final
{
    // The most SVG text that is drawn, compressed files inflated.
    static constexpr qsizetype maximumTextBytes = 16 * 1024 * 1024;

    QByteArray text;
    qsizetype elementCount = 0;
    // Text elements, and the characters of text content, which Qt lays out before it draws
    // any of them.
    qsizetype textElementCount = 0;
    qsizetype textLength = 0;
    // The size the root element declares in pixels, roughly (for estimates only); empty when
    // it gives none that reads as a number.
    QSizeF declaredSize;

    // Checking the embedded pictures stops, abandoned, when `stop` is requested.
    static std::variant<SvgSource, RemoteImageError> read(const QByteArray &bytes,
                                                          const RemoteImageDecodeLimits &limits,
                                                          const std::stop_token &stop = {});
};

} // namespace tolvaran::markdown
