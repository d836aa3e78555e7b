#pragma once

#include "markdown/raw/RawTableCell.h"

#include <QList>

namespace tolvaran::markdown {

// One row of a table. The header row is the table's first row; a row has no header flag.
struct RawTableRow
{
    QList<RawTableCell> cells;

    friend bool operator==(const RawTableRow &, const RawTableRow &) = default;
};

inline size_t qHash(const RawTableRow &row, size_t seed = 0) noexcept
{
    return qHashRange(row.cells.begin(), row.cells.end(), seed);
}

} // namespace tolvaran::markdown
