#pragma once

#include "markdown_view/theme/Color.h"

#include <functional>
#include <optional>

namespace tolvaran::markdown {

// The fill of every table cell, chosen by row and column (zero-based; row 0 is the header).
// Cells are filled only inside their rectangles; the gaps between them belong to the borders.
struct TableBackgroundStyle
{
    std::function<Color(int row, int column)> background;

    // Every cell transparent: whatever lies behind the table shows.
    static TableBackgroundStyle clear();
    // Row 0 in `header` (or `first` without one), odd rows in `first`, even rows from 2 on in
    // `second`.
    static TableBackgroundStyle alternatingRows(const Color &first, const Color &second,
                                                const std::optional<Color> &header = {});
};

} // namespace tolvaran::markdown
