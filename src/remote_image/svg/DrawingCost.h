#pragma once

#include "remote_image/svg/SvgReadingWork.h"

#include <QtGlobal>

class QBrush;
class QPainterPath;
class QPen;
class QRectF;
class QTransform;

namespace tolvaran::markdown {

// What one painting step of an SVG may cost, in pixels: the unit of the drawing budget
// (RemoteImageDecodeLimits::drawingBudget). A step is drawn in pieces, and each piece is paid
// for by the pixels of the picture it may cover, plus a fixed overhead; the pieces are what
// the painter really does, so that no single step can cost more than it is charged:
// - a fill, and a solid outline, is one piece over its bounding box, and the rasterizer walks
//   every edge of its outline down every row of pixels the edge crosses, at a cost that grows
//   with the edges crowded into the same rows;
// - a dashed outline is drawn dash by dash, each dash over a square as long as the dash and
//   as wide as the pen (a dash at an angle covers about that much), and dashes cost more a
//   pixel than fills do;
// - text is drawn glyph by glyph, each over a square as high as the line (glyphs are at least
//   a quarter of the line high wide), when it is not drawn as outlines;
// - every element of an outline (a line or curve of a path) adds work of its own.
// Reading the document comes first, and Qt's renderer does much of its work there, before
// the painter sees any of it (SvgReadingWork): charged in the same units, at the least that
// work takes, and bounded apart (RemoteImageDecodeLimits::readingBudget).
// Boxes are clipped to the picture, since nothing is drawn outside it.
struct DrawingCost final
{
    static constexpr qint64 pieceOverhead = 1024;
    static constexpr qint64 dashWeight = 8;
    static constexpr qint64 pathElementWeight = 256;
    static constexpr qint64 rowWeight = 8;
    // Edges that share a row cost in proportion to their number there (the rasterizer keeps a
    // row's cells in order): the square of the rows crossed, over the rows they spread over,
    // divided by this.
    static constexpr qint64 crowdingDivisor = 16;
    // A gradient's colour table is made again from its stops for each piece it fills.
    static constexpr qint64 gradientStopWeight = 16;

    // Filling `path` with `brush` and outlining it with `pen` (either may draw nothing), in
    // coordinates that `transform` maps onto `canvas`.
    static qint64 ofPath(const QPainterPath &path, const QBrush &brush, const QPen &pen,
                         const QTransform &transform, const QRectF &canvas);
    // Reading a document, and laying out its text, before the first piece is drawn: at least
    // what Qt does.
    static qint64 ofReading(const SvgReadingWork &work);
    // A line of text filling `box`, of `characters` characters when they are known.
    static qint64 ofText(const QRectF &box, qsizetype characters, const QTransform &transform,
                         const QRectF &canvas);
    // `count` dots as wide as `pen`.
    static qint64 ofPoints(qsizetype count, const QPen &pen, const QTransform &transform);
    // A picture drawn into `target`.
    static qint64 ofImage(const QRectF &target, const QTransform &transform,
                          const QRectF &canvas);
};

} // namespace tolvaran::markdown
