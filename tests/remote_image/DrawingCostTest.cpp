#include "remote_image/svg/DrawingCost.h"

#include <QBrush>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <gtest/gtest.h>

#include <limits>

namespace tolvaran::markdown {
namespace {

const QRectF canvas(0, 0, 1000, 1000);

QPainterPath rect(QRectF bounds)
{
    QPainterPath path;
    path.addRect(bounds);
    return path;
}

QPainterPath circle(double radius)
{
    QPainterPath path;
    path.addEllipse(QPointF(500, 500), radius, radius);
    return path;
}

// Dashes and gaps `length` pixels long (Qt gives them in pen widths).
QPen dashed(double width, double length = 20)
{
    QPen pen(Qt::red, width);
    pen.setDashPattern({length / width, length / width});
    return pen;
}

qint64 fill(const QPainterPath &path, const QTransform &transform = {})
{
    return DrawingCost::ofPath(path, QBrush(Qt::red), Qt::NoPen, transform, canvas);
}

qint64 outline(const QPainterPath &path, const QPen &pen)
{
    return DrawingCost::ofPath(path, Qt::NoBrush, pen, {}, canvas);
}

TEST(DrawingCost, aFillCostsThePixelsItMayCoverOnTheCanvas)
{
    const qint64 small = fill(rect({0, 0, 100, 100}));
    const qint64 whole = fill(rect({0, 0, 1000, 1000}));
    EXPECT_GE(small, 100 * 100);
    EXPECT_GE(whole, 1000 * 1000);
    EXPECT_LT(small, whole / 10);
    // Nothing is drawn off the canvas: beyond it, size costs nothing more.
    EXPECT_EQ(fill(rect({0, 0, 100000, 1000})), whole);
    EXPECT_LT(fill(rect({5000, 5000, 1000, 1000})), small);
    // What counts is the size on the canvas.
    EXPECT_GE(fill(rect({0, 0, 100, 100}), QTransform::fromScale(10, 10)), whole);
    EXPECT_EQ(DrawingCost::ofPath(rect({0, 0, 100, 100}), Qt::NoBrush, Qt::NoPen, {}, canvas),
              4 * DrawingCost::pathElementWeight + DrawingCost::pathElementWeight);
}

TEST(DrawingCost, dashedOutlinesCostByTheDashAndThePenWidth)
{
    // A circle of 2,500 pixels around: 63 dashes of 20 pixels.
    const qint64 solid = outline(circle(400), QPen(Qt::red, 40));
    const qint64 dashes = outline(circle(400), dashed(40));
    EXPECT_GT(dashes, 2 * solid);
    EXPECT_GT(dashes, 2 * outline(circle(400), dashed(4)));
    // Half the length, half the dashes.
    EXPECT_NEAR(double(outline(circle(200), dashed(40))), double(dashes) / 2,
                double(dashes) / 8);
}

TEST(DrawingCost, crowdedEdgesCostMoreThanTheSameEdgesApart)
{
    // A thousand tall thin rectangles side by side cross the same rows; stacked, they do not.
    QPainterPath sideBySide;
    QPainterPath stacked;
    for (int i = 0; i < 1000; ++i) {
        sideBySide.addRect(i, 0, 0.5, 1000);
        stacked.addRect(0, i, 1000, 0.5);
    }
    EXPECT_GT(fill(sideBySide), 10 * fill(stacked));
}

TEST(DrawingCost, absurdDrawingsSaturateInsteadOfWrapping)
{
    const QPen dust = dashed(1, 1e-9);
    QPainterPath line;
    line.moveTo(0, 0);
    line.lineTo(1e12, 1e12);
    const qint64 budget = std::numeric_limits<qint64>::max() / 4;
    EXPECT_GT(outline(line, dust), budget);
    EXPECT_GT(fill(rect({0, 0, 1, 1}), QTransform::fromScale(1e300, 1e300)), 0);
    EXPECT_GT(DrawingCost::ofText(QRectF(0, 0, 1e300, 0), 0, {}, canvas), 0);
}

TEST(DrawingCost, textCostsGlyphByGlyph)
{
    const QRectF line(0, 0, 300, 20);
    const qint64 counted = DrawingCost::ofText(line, 60, {}, canvas);
    // Glyphs come without their characters: a line of this width holds at least 60.
    EXPECT_EQ(DrawingCost::ofText(line, 0, {}, canvas), counted);
    EXPECT_GT(DrawingCost::ofText(line, 120, {}, canvas), counted);
    EXPECT_GT(DrawingCost::ofText(line, 60, QTransform::fromScale(10, 10), canvas), 10 * counted);
}

} // namespace
} // namespace tolvaran::markdown
