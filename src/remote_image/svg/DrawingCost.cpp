#include "remote_image/svg/DrawingCost.h"

#include <QBrush>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tolvaran::markdown {

namespace {

// Sums are kept in floating point, so that absurd lengths and counts cannot overflow, and
// turned into pixels only at the end.
qint64 pixels(double cost)
{
    constexpr double largest = double(std::numeric_limits<qint64>::max() / 2);
    return std::isfinite(cost) ? qint64(std::clamp(cost, 0.0, largest)) : qint64(largest);
}

double coveredArea(const QRectF &box, const QRectF &canvas)
{
    const QRectF covered = box.normalized() & canvas;
    return covered.isValid() ? covered.width() * covered.height() : 0.0;
}

// How much longer a length becomes on the canvas, at most (in the direction stretched most).
double scaleOf(const QTransform &transform)
{
    return std::max(std::hypot(transform.m11(), transform.m12()),
                    std::hypot(transform.m21(), transform.m22()));
}

double penWidthOnCanvas(const QPen &pen, double scale)
{
    // A width of zero is one pixel wide, and a pen is never drawn thinner than that.
    const double width = pen.isCosmetic() ? pen.widthF() : pen.widthF() * scale;
    return std::max(width, 1.0);
}

// How many rows of the canvas the edges of `path` cross, together: each line (and each leg
// between a curve's control points, which a curve stays within) counts the rows it spans.
double rowsCrossed(const QPainterPath &path, const QTransform &transform, const QRectF &canvas)
{
    double rows = 0;
    double previous = 0;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        const double y = transform.map(QPointF(element.x, element.y)).y();
        if (!element.isMoveTo()) {
            const double top = std::max(std::min(previous, y), canvas.top());
            const double bottom = std::min(std::max(previous, y), canvas.bottom());
            rows += std::max(bottom - top, 0.0);
        }
        previous = y;
    }
    return rows;
}

double gradientCost(const QBrush &brush)
{
    const QGradient *gradient = brush.gradient();
    return gradient ? double(gradient->stops().size()) * DrawingCost::gradientStopWeight : 0.0;
}

// Walking `rows` edge rows spread over the `height` rows of a box.
double edgeCost(double rows, double height)
{
    return rows * DrawingCost::rowWeight
           + rows * rows / std::max(height, 1.0) / DrawingCost::crowdingDivisor;
}

double outlineCost(const QPainterPath &path, const QPen &pen, const QTransform &transform,
                   const QRectF &canvas, double rows)
{
    const double scale = scaleOf(transform);
    const double width = penWidthOnCanvas(pen, scale);
    // Joins and caps reach past the outline: a miter up to its limit, a square cap by half
    // the width's diagonal.
    const double reach = width * std::max(pen.miterLimit(), 2.0) / 2;
    const QRectF box =
        transform.mapRect(path.controlPointRect()).adjusted(-reach, -reach, reach, reach);
    const double area = coveredArea(box, canvas);
    // An outline's edges run along both sides of the path, and each of its pieces reaches a
    // pen's width across.
    const double outlineRows =
        2 * (rows + double(path.elementCount()) * std::min(width, canvas.height()));
    const double outlineEdges = edgeCost(outlineRows, (box & canvas).height());
    if (pen.style() == Qt::SolidLine)
        return area + DrawingCost::pieceOverhead + outlineEdges;
    // Dash lengths are in pen widths.
    const QList<qreal> pattern = pen.dashPattern();
    double patternLength = 0;
    for (const qreal entry : pattern)
        patternLength += std::max(entry, qreal(0));
    patternLength *= width;
    if (patternLength <= 0)
        return area + DrawingCost::pieceOverhead + outlineEdges;
    const double repeats = std::ceil(path.length() * scale / patternLength);
    const double dashes = repeats * double(std::max<qsizetype>(1, pattern.size() / 2));
    const double piece = std::min((patternLength + width) * (patternLength + width), area);
    return dashes * (DrawingCost::dashWeight * piece + DrawingCost::pieceOverhead);
}

} // namespace

qint64 DrawingCost::ofPath(const QPainterPath &path, const QBrush &brush, const QPen &pen,
                           const QTransform &transform, const QRectF &canvas)
{
    const double rows = rowsCrossed(path, transform, canvas);
    const QRectF box = transform.mapRect(path.controlPointRect());
    double cost = double(path.elementCount()) * pathElementWeight;
    if (brush.style() != Qt::NoBrush)
        cost += coveredArea(box, canvas) + pieceOverhead + edgeCost(rows, (box & canvas).height())
                + gradientCost(brush);
    if (pen.style() != Qt::NoPen)
        cost += outlineCost(path, pen, transform, canvas, rows) + gradientCost(pen.brush());
    return pixels(cost);
}

qint64 DrawingCost::ofReading(const SvgReadingWork &work)
{
    using Work = SvgReadingWork;
    return pixels(double(work.elements) * Work::elementWeight
                  + double(work.textLayouts) * Work::textLayoutWeight
                  + double(work.characters) * Work::characterWeight
                  + double(work.scriptChanges) * Work::scriptChangeWeight
                  + double(work.symbolChanges) * Work::symbolChangeWeight
                  + work.stopsPassed * Work::stopPassedWeight
                  + double(work.styleRules) * Work::styleRuleWeight
                  + work.selectorTests * Work::selectorTestWeight
                  + work.universalMatches * Work::universalMatchWeight
                  + double(work.embeddedBytes) * Work::embeddedByteWeight);
}

qint64 DrawingCost::ofText(const QRectF &box, qsizetype characters, const QTransform &transform,
                           const QRectF &canvas)
{
    // Laid-out text reaches the painter as glyphs without their characters: their count
    // follows from the line's width.
    const double glyphs = std::max(double(characters),
                                   box.height() > 0 ? std::ceil(4 * box.width() / box.height())
                                                    : 1.0);
    const double lineHeight = box.height() * scaleOf(transform);
    const double piece =
        std::min(lineHeight * lineHeight, coveredArea(transform.mapRect(box), canvas));
    return pixels(glyphs * (piece + pieceOverhead));
}

qint64 DrawingCost::ofPoints(qsizetype count, const QPen &pen, const QTransform &transform)
{
    const double width = penWidthOnCanvas(pen, scaleOf(transform));
    return pixels(double(count) * (width * width + pieceOverhead));
}

qint64 DrawingCost::ofImage(const QRectF &target, const QTransform &transform,
                            const QRectF &canvas)
{
    return pixels(coveredArea(transform.mapRect(target), canvas) + pieceOverhead);
}

} // namespace tolvaran::markdown
