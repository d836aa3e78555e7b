#pragma once

#include "markdown/RawTableColumnAlignment.h"
#include "markdown/RawTableRow.h"
#include "markdown_view/View.h"

#include <QList>

namespace tolvaran::markdown {

// The view of a table block: its rows as a grid of cells, each cell's inline text through
// the theme's table cell style, the whole through the theme's table style. The columns share
// the width equally; cells align as their column says.
View tableView(const QList<RawTableColumnAlignment> &columnAlignments,
               const QList<RawTableRow> &rows);

} // namespace tolvaran::markdown
