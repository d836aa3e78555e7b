#pragma once

#include "markdown/raw/RawTableColumnAlignment.h"
#include "markdown/raw/RawTableRow.h"
#include "markdown_view/items/BlockItem.h"
#include "markdown_view/theme/TableBackgroundStyle.h"
#include "markdown_view/theme/TableBorderStyle.h"
#include "markdown_view/items/TableBounds.h"
#include "markdown_view/View.h"

#include <QList>

namespace tolvaran::markdown {

// The view of a table block: a grid with one row per raw row (the first is the header) and
// one cell per column, each cell through the theme's table cell style, the whole through the
// theme's table style. The column count comes from the alignments; a row with fewer cells
// shows empty ones, a row with more shows only the table's columns. Cell backgrounds and
// border lines come from the table styles in force.
View tableView(const QList<RawTableColumnAlignment> &columnAlignments,
               const QList<RawTableRow> &rows);

// The laid-out grid, shown through a window that scrolls sideways (HorizontalScrollItem), as
// wide as the grid up to the width offered. Columns are as wide as their widest cell while
// they fit the width offered; when they do not, every column keeps at least its longest word
// whole while that fits (see fittedColumnWidths), and pictures shrink to their column. A word
// wider than the window breaks in any case. When the whole words do not fit, the grid passes
// the width offered and its window scrolls. Rows are as tall as their tallest cell; cells
// align in their column as it says and centre vertically. The border width is the spacing
// between cells and the padding around them, so lines fall into gaps and never over text.
// Where cells hold pictures (`holdsPictures`), they are first laid out as wide as a column
// may be, so that each picture is asked for no wider than it can be drawn rather than whole;
// the columns are measured from the size each declares.
class TableGridItem final : public BlockItem
{
public:
    TableGridItem(std::vector<BlockItemPointer> cells, QList<Qt::Alignment> alignments,
                  qsizetype rowCount, TableBorderStyle borderStyle,
                  TableBackgroundStyle backgroundStyle, ColorScheme scheme,
                  bool holdsPictures);

    const TableBounds &tableBounds() const { return m_bounds; }
    // The rectangles whose borders are stroked, in item coordinates.
    QList<QRectF> borderRectangles() const;
    QColor cellBackground(int row, int column) const;

    void paint(const PaintContext &context, const QPointF &origin) const override;

protected:
    QSizeF doLayout(qreal width) override;

private:
    QList<Qt::Alignment> m_alignments;
    qsizetype m_rowCount;
    TableBorderStyle m_borderStyle;
    TableBackgroundStyle m_backgroundStyle;
    ColorScheme m_scheme;
    // Whether cells hold pictures not laid out yet at a bounded width.
    bool m_picturesToStart;
    TableBounds m_bounds;
};

// Column widths for `available` pixels from each column's natural width (its widest cell
// unwrapped) and its longest word. Columns that all fit keep their natural width. A longest
// word wider than `widestColumn` breaks in any case: its column counts as its word only what
// the other columns' longest words leave of `available` (shared evenly among such columns),
// but no less than its `wholeWord`, the longest of its words that fits `widestColumn` (none
// where not given). Then, where the longest words fit, narrow columns keep their natural
// width while the others' longest words still fit beside them, and the others take their
// longest word and share what is left in proportion to what they lack of their natural width.
// Where even the longest words do not fit, the widths pass `available`: each column keeps its
// natural width up to `widestColumn`, so only a word wider than that breaks.
QList<qreal> fittedColumnWidths(const QList<qreal> &natural, const QList<qreal> &longestWord,
                                qreal available, qreal widestColumn,
                                const QList<qreal> &wholeWord = {});

} // namespace tolvaran::markdown
