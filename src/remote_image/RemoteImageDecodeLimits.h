#pragma once

#include <QtGlobal>

namespace tolvaran::markdown {

// What decoding one image may cost.
struct RemoteImageDecodeLimits
{
    // The most pixels an image may have (4096 by 4096). A file of a few hundred bytes can
    // declare a picture of billions of pixels; such a picture is refused before any memory is
    // set aside for it.
    static constexpr qint64 defaultMaximumPixels = qint64(4096) * 4096;
    // What drawing an SVG may cost, in drawing elements times the pixels each may cover (see
    // DrawingCost): enough for the pictures of READMEs, diagrams and charts included, and set
    // so that the costliest picture within it draws in well under a second on an ordinary
    // desktop (bench/svg_decode_bench).
    static constexpr qint64 defaultDrawingBudget = qint64(200) * 1000 * 1000;

    qint64 maximumPixels = defaultMaximumPixels;
    qint64 drawingBudget = defaultDrawingBudget;
};

} // namespace tolvaran::markdown
