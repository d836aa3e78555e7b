#include "markdown_view/items/ListItemLayout.h"

#include <algorithm>

namespace tolvaran::markdown {

ListRowItem::ListRowItem(BlockItemPointer marker, BlockItemPointer title,
                         std::shared_ptr<MarkerColumn> column)
    : m_column(std::move(column))
{
    if (m_column)
        m_column->markers.push_back(marker.get());
    addChild(std::move(marker));
    addChild(std::move(title));
}

QSizeF ListRowItem::doLayout(qreal width)
{
    Child &marker = m_children[0];
    Child &title = m_children[1];
    const QSizeF markerSize = marker.item->layout(width);
    const qreal column = m_column ? std::max(m_column->width, markerSize.width())
                                  : markerSize.width();
    const qreal titleX = column + markerSpacing;
    const QSizeF titleSize = title.item->layout(std::max<qreal>(0, width - titleX));
    title.position = QPointF(titleX, 0);
    marker.position = QPointF(column - markerSize.width(), title.item->firstLineRoom());
    return {titleX + titleSize.width(),
            std::max(marker.position.y() + markerSize.height(), titleSize.height())};
}

qreal ListRowItem::firstLineRoom() const
{
    return m_children[1].item->firstLineRoom();
}

MarkerColumnItem::MarkerColumnItem(BlockItemPointer items, std::shared_ptr<MarkerColumn> column)
    : m_column(std::move(column))
{
    addChild(std::move(items));
}

QSizeF MarkerColumnItem::doLayout(qreal width)
{
    qreal widest = 0;
    for (BlockItem *marker : m_column->markers)
        widest = std::max(widest, marker->layout(width).width());
    m_column->width = widest;
    return m_children[0].item->layout(width);
}

} // namespace tolvaran::markdown
