#include "markdown_view/FlowLayout.h"

namespace tolvaran::markdown {

namespace {

class LineBreakItem final : public BlockItem
{
protected:
    QSizeF doLayout(qreal width) override { return {width, 0}; }
};

} // namespace

BlockItemPointer FlowLayoutItem::lineBreak()
{
    return std::make_unique<LineBreakItem>();
}

FlowLayoutItem::FlowLayoutItem(std::vector<BlockItemPointer> items, qreal horizontalSpacing,
                               qreal verticalSpacing)
    : m_horizontalSpacing(horizontalSpacing)
    , m_verticalSpacing(verticalSpacing)
{
    addChildren(std::move(items));
}

QList<FlowLayoutItem::Row> FlowLayoutItem::rows(const QList<QSizeF> &sizes, qreal width,
                                                qreal horizontalSpacing)
{
    QList<Row> result;
    Row current;
    qreal x = 0;
    const auto endRow = [&] {
        current.size.setWidth(x - horizontalSpacing);
        result.append(current);
        current = Row();
        x = 0;
    };
    for (qsizetype index = 0; index < sizes.size(); ++index) {
        const QSizeF size = sizes[index];
        if (x > 0 && x + size.width() > width)
            endRow();
        current.items.append(index);
        current.size.setHeight(std::max(current.size.height(), size.height()));
        x += size.width() + horizontalSpacing;
    }
    if (!current.items.isEmpty())
        endRow();
    return result;
}

QSizeF FlowLayoutItem::doLayout(qreal width)
{
    QList<QSizeF> sizes;
    for (Child &child : m_children)
        sizes.append(child.item->layout(width));
    qreal y = 0;
    qreal used = 0;
    const QList<Row> laidOut = rows(sizes, width, m_horizontalSpacing);
    for (qsizetype index = 0; index < laidOut.size(); ++index) {
        const Row &row = laidOut[index];
        if (index > 0)
            y += m_verticalSpacing;
        qreal x = 0;
        for (const qsizetype item : row.items) {
            const QSizeF size = sizes[item];
            m_children[std::size_t(item)].position =
                QPointF(x, y + row.size.height() - size.height());
            x += size.width() + m_horizontalSpacing;
        }
        y += row.size.height();
        used = std::max(used, row.size.width());
    }
    return {used, y};
}

} // namespace tolvaran::markdown
