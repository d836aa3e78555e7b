#pragma once

#include "markdown_view/items/BlockItem.h"

#include <memory>
#include <vector>

namespace tolvaran::markdown {

// The column the markers of one numbered list share: as wide as the widest marker, so that
// numbers align at their right edge and every item's text starts at the same place.
struct MarkerColumn
{
    std::vector<BlockItem *> markers;
    qreal width = 0;
};

// A list item's row: its marker, then its blocks beside it. With a shared column the marker
// is right-aligned in the column's width; without, it takes its own width. The marker stands
// as low as the first line of the blocks, below the pictures standing in it.
class ListRowItem final : public BlockItem
{
public:
    static constexpr qreal markerSpacing = 6; // between a marker and its item's text

    ListRowItem(BlockItemPointer marker, BlockItemPointer title,
                std::shared_ptr<MarkerColumn> column);

    // The blocks', which the marker follows.
    qreal firstLineRoom() const override;

protected:
    QSizeF doLayout(qreal width) override;

private:
    std::shared_ptr<MarkerColumn> m_column;
};

// The items of a list with a shared marker column: measures every marker before it lays the
// items out.
class MarkerColumnItem final : public BlockItem
{
public:
    MarkerColumnItem(BlockItemPointer items, std::shared_ptr<MarkerColumn> column);

protected:
    QSizeF doLayout(qreal width) override;

private:
    std::shared_ptr<MarkerColumn> m_column;
};

} // namespace tolvaran::markdown
