#pragma once

#include "markdown/nodes/InlineNode.h"

#include <QList>

namespace tolvaran::markdown {

struct RawTableCell
{
    QList<InlineNode> content;

    friend bool operator==(const RawTableCell &, const RawTableCell &) = default;
};

inline size_t qHash(const RawTableCell &cell, size_t seed = 0) noexcept
{
    return qHashRange(cell.content.begin(), cell.content.end(), seed);
}

} // namespace tolvaran::markdown
