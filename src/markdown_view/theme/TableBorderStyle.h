#pragma once

#include "markdown_view/theme/Color.h"
#include "markdown_view/theme/TableBorderSelector.h"

#include <QList>

namespace tolvaran::markdown {

// How a line is stroked. The width of a table's stroke is also its grid's spacing and
// padding.
struct StrokeStyle
{
    qreal lineWidth = 1;
    Qt::PenCapStyle lineCap = Qt::FlatCap;
    Qt::PenJoinStyle lineJoin = Qt::MiterJoin;
    qreal miterLimit = 10;
    QList<qreal> dash; // in line widths, as QPen takes them; empty for a solid line
    qreal dashPhase = 0;
};

// Which lines of a table are drawn, in which colour and stroke.
struct TableBorderStyle
{
    TableBorderSelector visibleBorders;
    Color color;
    StrokeStyle strokeStyle;

    TableBorderStyle(TableBorderSelector borders, const Color &borderColor,
                     const StrokeStyle &stroke);
    TableBorderStyle(TableBorderSelector borders, const Color &borderColor, qreal width);

    // All borders, 1 pixel wide, in the secondary text colour.
    static const TableBorderStyle &defaultStyle();
};

} // namespace tolvaran::markdown
