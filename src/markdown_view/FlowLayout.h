#pragma once

#include "markdown_view/items/BlockItem.h"

#include <QList>
#include <QSizeF>

namespace tolvaran::markdown {

// Items left to right, wrapped into rows like words in a line: an item that would pass the
// width starts a new row (a row always takes at least one item, even one wider than the
// width), items bottom-aligned within their row.
class FlowLayoutItem final : public BlockItem
{
public:
    // An item that takes the whole width offered and no height: what follows starts a row.
    static BlockItemPointer lineBreak();

    FlowLayoutItem(std::vector<BlockItemPointer> items, qreal horizontalSpacing,
                   qreal verticalSpacing);

    struct Row
    {
        QSizeF size; // without trailing spacing; as tall as its tallest item
        QList<qsizetype> items;
    };
    // The rows for items of `sizes` in `width`.
    static QList<Row> rows(const QList<QSizeF> &sizes, qreal width, qreal horizontalSpacing);

protected:
    QSizeF doLayout(qreal width) override;

private:
    qreal m_horizontalSpacing;
    qreal m_verticalSpacing;
};

} // namespace tolvaran::markdown
