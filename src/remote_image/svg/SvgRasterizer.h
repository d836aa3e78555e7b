#pragma once

#include "remote_image/RemoteImageDecodeLimits.h"
#include "remote_image/RemoteImageResult.h"

#include <QByteArray>

#include <stop_token>

namespace tolvaran::markdown {

// Draws the text of an SVG (already checked by SvgSource) into an image with Qt's SVG
// renderer, at the size the file declares. The renderer paints through a painter of ours that
// charges every painting step its DrawingCost before letting it through: once the sum passes
// the drawing budget, or once `stop` is requested, nothing more is drawn and the picture is
// refused (imageTooComplex) or abandoned. A step is never interrupted, so drawing stops within
// one step's cost.
struct SvgRasterizer final
{
    // `readingCost` is charged before anything is drawn (DrawingCost::ofReading).
    static RemoteImageResult render(const QByteArray &text, qint64 readingCost,
                                    const RemoteImageDecodeLimits &limits,
                                    const std::stop_token &stop);
};

} // namespace tolvaran::markdown
