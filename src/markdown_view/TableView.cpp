#include "markdown_view/TableView.h"

#include "markdown_view/InlineText.h"
#include "markdown_view/Theme.h"

#include <algorithm>

namespace tolvaran::markdown {

namespace {

class TableGridItem final : public BlockItem
{
public:
    TableGridItem(std::vector<BlockItemPointer> cells, QList<Qt::Alignment> alignments)
        : m_alignments(std::move(alignments))
    {
        for (BlockItemPointer &cell : cells)
            addChild(std::move(cell));
    }

protected:
    QSizeF doLayout(qreal width) override
    {
        const qsizetype columns = std::max<qsizetype>(1, m_alignments.size());
        const qreal columnWidth = width / qreal(columns);
        qreal y = 0;
        for (std::size_t rowStart = 0; rowStart < m_children.size();
             rowStart += std::size_t(columns)) {
            qreal rowHeight = 0;
            for (qsizetype column = 0; column < columns; ++column) {
                const std::size_t index = rowStart + std::size_t(column);
                if (index >= m_children.size())
                    break;
                Child &cell = m_children[index];
                const QSizeF size = cell.item->layout(columnWidth);
                qreal x = column * columnWidth;
                const Qt::Alignment alignment = m_alignments.value(column, Qt::AlignLeft);
                if (alignment & Qt::AlignRight)
                    x += columnWidth - size.width();
                else if (alignment & Qt::AlignHCenter)
                    x += (columnWidth - size.width()) / 2;
                cell.position = QPointF(x, y);
                rowHeight = std::max(rowHeight, size.height());
            }
            y += rowHeight;
        }
        return {width, y};
    }

private:
    QList<Qt::Alignment> m_alignments;
};

Qt::Alignment alignment(RawTableColumnAlignment columnAlignment)
{
    switch (columnAlignment) {
    case RawTableColumnAlignment::center:
        return Qt::AlignHCenter;
    case RawTableColumnAlignment::right:
        return Qt::AlignRight;
    case RawTableColumnAlignment::none:
    case RawTableColumnAlignment::left:
        break;
    }
    return Qt::AlignLeft;
}

} // namespace

View tableView(const QList<RawTableColumnAlignment> &columnAlignments,
               const QList<RawTableRow> &rows)
{
    return [columnAlignments, rows](const StyleContext &context) {
        const Theme &theme = context.currentTheme();
        const View label = [&](const StyleContext &labelContext) {
            std::vector<BlockItemPointer> cells;
            QList<Qt::Alignment> alignments;
            for (RawTableColumnAlignment column : columnAlignments)
                alignments.append(alignment(column));
            for (qsizetype row = 0; row < rows.size(); ++row) {
                for (qsizetype column = 0; column < columnAlignments.size(); ++column) {
                    const QList<InlineNode> content =
                        rows[row].cells.value(column).content;
                    const TableCellConfiguration configuration{
                        int(row), int(column), inlineText(content),
                        MarkdownContent(QList<BlockNode>{BlockNode::Paragraph{content}})};
                    cells.push_back(theme.tableCell(configuration)(labelContext));
                }
            }
            return BlockItemPointer(
                std::make_unique<TableGridItem>(std::move(cells), std::move(alignments)));
        };
        const BlockConfiguration configuration{
            label, MarkdownContent(QList<BlockNode>{BlockNode::Table{columnAlignments, rows}})};
        return theme.table(configuration)(context);
    };
}

} // namespace tolvaran::markdown
