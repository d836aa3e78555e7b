#pragma once

#include "markdown_view/items/TableBounds.h"

#include <QList>
#include <QRectF>

#include <functional>

namespace tolvaran::markdown {

// Which lines of a table are drawn: the rectangles whose borders are stroked, from the
// table's measured bounds and the border width. The grid keeps a gap of that width between
// and around its cells, so every line falls into a gap and never over a cell.
struct TableBorderSelector
{
    std::function<QList<QRectF>(const TableBounds &, qreal)> rectangles;

    // The gaps below every row but the last, across the whole table.
    static TableBorderSelector insideHorizontalBorders();
    // The gaps right of every column but the last, down the whole table.
    static TableBorderSelector insideVerticalBorders();
    static TableBorderSelector insideBorders();
    // The ring around the grid.
    static TableBorderSelector outsideBorders();
    static TableBorderSelector allBorders();
    // The top and bottom lines and the lines between rows; no vertical line at all.
    static TableBorderSelector horizontalBorders();
};

} // namespace tolvaran::markdown
