#pragma once

#include "remote_image/RemoteImageDecodeLimits.h"
#include "remote_image/RemoteImageResult.h"

#include <QByteArray>
#include <QList>

#include <stop_token>

namespace tolvaran::markdown {

// Draws the text of an SVG (already checked by SvgSource) into an image with Qt's SVG
// renderer, at the size the file declares. The renderer paints through a painter of ours that
// charges every painting step its DrawingCost before letting it through: once the sum passes
// the drawing budget, or once `stop` is requested, nothing more is drawn and the picture is
// refused (imageTooComplex) or abandoned. A step is never interrupted, so drawing stops within
// one step's cost. The SVG pictures embedded in the text are drawn within the same budget.
struct SvgRasterizer final
{
    // The drawing of `embeddedDocuments`, the SVG pictures embedded in `text` (SvgSource), is
    // charged before anything is drawn. The reading is not: it was bounded apart, at a lower
    // bound of its work (SvgReadingWork), where the drawing's charges are estimates.
    static RemoteImageResult render(const QByteArray &text,
                                    const QList<QByteArray> &embeddedDocuments,
                                    const RemoteImageDecodeLimits &limits,
                                    const std::stop_token &stop);
};

} // namespace tolvaran::markdown
