#include "markdown_view/items/TableView.h"

#include "markdown_view/items/ImageFlow.h"
#include "markdown_view/items/InlineText.h"
#include "markdown_view/theme/Theme.h"

#include <QPainter>

#include <algorithm>
#include <numeric>
#include <utility>

namespace tolvaran::markdown {

namespace {

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

QList<qreal> fittedColumnWidths(const QList<qreal> &natural, const QList<qreal> &longestWord,
                                qreal available, qreal widestColumn,
                                const QList<qreal> &wholeWord)
{
    available = std::max<qreal>(0, available);
    const qreal total = std::accumulate(natural.begin(), natural.end(), qreal(0));
    if (total <= available)
        return natural;
    QList<qreal> least(natural.size());
    for (qsizetype column = 0; column < natural.size(); ++column)
        least[column] = std::min(longestWord.value(column), natural[column]);
    // A word wider than the widest column breaks whatever the table does, so keeping the
    // table's other words whole comes first: such a column asks only for what the other
    // columns' words leave, shared with any other such column, and for its own other words.
    QList<qsizetype> breaking;
    qreal left = available;
    qreal wholeWords = 0;
    for (qsizetype column = 0; column < least.size(); ++column) {
        if (least[column] > widestColumn) {
            breaking.append(column);
            wholeWords += wholeWord.value(column);
        } else {
            left -= least[column];
            wholeWords += least[column];
        }
    }
    if (!breaking.isEmpty() && wholeWords < available) {
        // A column whose words ask more than an even share takes what they ask; the others
        // share the rest evenly.
        bool settled = false;
        while (!settled && !breaking.isEmpty()) {
            settled = true;
            const qreal share = std::floor(left / qreal(breaking.size()));
            for (qsizetype index = 0; index < breaking.size(); ++index) {
                const qsizetype column = breaking[index];
                if (wholeWord.value(column) > share) {
                    least[column] = wholeWord.value(column);
                    left -= least[column];
                    breaking.removeAt(index--);
                    settled = false;
                }
            }
        }
        for (const qsizetype column : breaking)
            least[column] = std::floor(left / qreal(breaking.size()));
    }
    qreal leastOpen = std::accumulate(least.begin(), least.end(), qreal(0));
    if (leastOpen > available) {
        // Whole words do not fit: the table scrolls sideways rather than break them.
        QList<qreal> widths(natural.size());
        for (qsizetype column = 0; column < natural.size(); ++column)
            widths[column] = std::min(natural[column], std::max<qreal>(0, widestColumn));
        return widths;
    }

    // Whole words fit. Columns narrower than an even share keep their natural width, as long
    // as the longest words of the others still fit beside them.
    QList<qreal> widths(natural.size(), -1);
    qreal remaining = available;
    bool settled = false;
    while (!settled) {
        settled = true;
        qsizetype open = 0;
        for (const qreal width : widths)
            open += width < 0 ? 1 : 0;
        if (open == 0)
            break;
        const qreal share = remaining / qreal(open);
        for (qsizetype column = 0; column < natural.size(); ++column) {
            if (widths[column] < 0 && natural[column] <= share
                && remaining - natural[column] >= leastOpen - least[column]) {
                widths[column] = natural[column];
                remaining -= natural[column];
                leastOpen -= least[column];
                settled = false;
            }
        }
    }
    // The others take their longest word and share what is left in proportion to what they
    // lack of their natural width.
    qreal lacking = 0;
    for (qsizetype column = 0; column < natural.size(); ++column)
        lacking += widths[column] < 0 ? natural[column] - least[column] : 0;
    const qreal spare = remaining - leastOpen;
    for (qsizetype column = 0; column < natural.size(); ++column) {
        if (widths[column] >= 0)
            continue;
        widths[column] = least[column];
        if (lacking > 0)
            widths[column] += std::floor(spare * (natural[column] - least[column]) / lacking);
    }
    return widths;
}

TableGridItem::TableGridItem(std::vector<BlockItemPointer> cells,
                             QList<Qt::Alignment> alignments, qsizetype rowCount,
                             TableBorderStyle borderStyle, TableBackgroundStyle backgroundStyle,
                             ColorScheme scheme, bool holdsPictures)
    : m_alignments(std::move(alignments))
    , m_rowCount(rowCount)
    , m_borderStyle(std::move(borderStyle))
    , m_backgroundStyle(std::move(backgroundStyle))
    , m_scheme(scheme)
    , m_picturesToStart(holdsPictures)
{
    addChildren(std::move(cells));
}

QSizeF TableGridItem::doLayout(qreal width)
{
    const qreal gap = std::max<qreal>(0, m_borderStyle.strokeStyle.lineWidth);
    const qsizetype columns = m_alignments.size();
    const auto cellAt = [&](qsizetype row, qsizetype column) -> Child & {
        return m_children[std::size_t(row * columns + column)];
    };
    // A column may be as wide as the table's window with its two borders, so that scrolling
    // shows any one column whole.
    const qreal widestColumn = width - 2 * gap;
    // A picture is asked for at the width it is first laid out at: one first measured without
    // a limit would be decoded whole.
    if (std::exchange(m_picturesToStart, false)) {
        for (Child &cell : m_children)
            cell.item->layout(std::max<qreal>(0, widestColumn));
    }
    // Cells are first measured without a width limit, for their natural width and their
    // longest word (and the longest that fits the widest column).
    QList<qreal> natural(columns, 0);
    QList<qreal> longestWord(columns, 0);
    QList<qreal> wholeWord(columns, 0);
    for (qsizetype row = 0; row < m_rowCount; ++row) {
        for (qsizetype column = 0; column < columns; ++column) {
            BlockItem &cell = *cellAt(row, column).item;
            natural[column] =
                std::max(natural[column], std::ceil(cell.layout(unboundedWidth).width()));
            const qreal word = std::ceil(cell.minimumWidth());
            longestWord[column] = std::max(longestWord[column], word);
            if (word <= widestColumn)
                wholeWord[column] = std::max(wholeWord[column], word);
        }
    }
    QList<qreal> widths = fittedColumnWidths(natural, longestWord,
                                             width - gap * qreal(columns + 1), widestColumn,
                                             wholeWord);
    // A column narrower than its cells can be at all (their padding and a letter) takes
    // their width: the table then passes the width offered, but no cell runs into the next.
    for (qsizetype row = 0; row < m_rowCount; ++row) {
        for (qsizetype column = 0; column < columns; ++column) {
            widths[column] = std::max(widths[column],
                                      cellAt(row, column).item->layout(widths[column]).width());
        }
    }

    m_bounds.columns.clear();
    qreal x = gap;
    for (qsizetype column = 0; column < columns; ++column) {
        m_bounds.columns.append({x, widths[column]});
        x += widths[column] + gap;
    }
    m_bounds.rows.clear();
    qreal y = gap;
    for (qsizetype row = 0; row < m_rowCount; ++row) {
        qreal height = 0;
        for (qsizetype column = 0; column < columns; ++column)
            height = std::max(height, cellAt(row, column).item->layout(widths[column]).height());
        for (qsizetype column = 0; column < columns; ++column) {
            Child &cell = cellAt(row, column);
            const QSizeF size = cell.item->size();
            qreal cellX = m_bounds.columns[column].minX;
            const Qt::Alignment align = m_alignments[column];
            if (align & Qt::AlignRight)
                cellX += widths[column] - size.width();
            else if (align & Qt::AlignHCenter)
                cellX += (widths[column] - size.width()) / 2;
            cell.position = QPointF(cellX, y + (height - size.height()) / 2);
        }
        m_bounds.rows.append({y, height});
        y += height + gap;
    }
    const QSizeF size(std::max(x, 2 * gap), std::max(y, 2 * gap));
    m_bounds.bounds = QRectF(QPointF(), size);
    return size;
}

QList<QRectF> TableGridItem::borderRectangles() const
{
    if (!m_borderStyle.visibleBorders.rectangles)
        return {};
    return m_borderStyle.visibleBorders.rectangles(m_bounds, m_borderStyle.strokeStyle.lineWidth);
}

QColor TableGridItem::cellBackground(int row, int column) const
{
    if (!m_backgroundStyle.background)
        return Qt::transparent;
    return m_backgroundStyle.background(row, column).resolved(m_scheme);
}

void TableGridItem::paint(const PaintContext &context, const QPointF &origin) const
{
    QPainter &painter = *context.painter;
    for (qsizetype row = 0; row < m_bounds.rows.size(); ++row) {
        for (qsizetype column = 0; column < m_bounds.columns.size(); ++column) {
            const QColor fill = cellBackground(int(row), int(column));
            if (fill.alpha() > 0)
                painter.fillRect(m_bounds.cell(row, column).translated(origin), fill);
        }
    }
    paintChildren(context, origin);

    const StrokeStyle &stroke = m_borderStyle.strokeStyle;
    if (stroke.lineWidth <= 0)
        return;
    QPen pen(m_borderStyle.color.resolved(m_scheme), stroke.lineWidth, Qt::SolidLine,
             stroke.lineCap, stroke.lineJoin);
    pen.setMiterLimit(stroke.miterLimit);
    if (!stroke.dash.isEmpty()) {
        pen.setDashPattern(stroke.dash);
        pen.setDashOffset(stroke.dashPhase);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // Each border is stroked inside its rectangle: a strip as high as the line fills up.
    const qreal half = stroke.lineWidth / 2;
    for (const QRectF &rect : borderRectangles())
        painter.drawRect(rect.translated(origin).adjusted(half, half, -half, -half));
    painter.restore();
}

View tableView(const QList<RawTableColumnAlignment> &columnAlignments,
               const QList<RawTableRow> &rows)
{
    return [columnAlignments, rows](const StyleContext &context) {
        const Theme &theme = context.currentTheme();
        const View label = [&](const StyleContext &labelContext) {
            std::vector<BlockItemPointer> cells;
            bool holdsPictures = false;
            QList<Qt::Alignment> alignments;
            for (RawTableColumnAlignment column : columnAlignments)
                alignments.append(alignment(column));
            for (qsizetype row = 0; row < rows.size(); ++row) {
                for (qsizetype column = 0; column < columnAlignments.size(); ++column) {
                    const QList<InlineNode> content = rows[row].cells.value(column).content;
                    holdsPictures = holdsPictures
                                    || std::any_of(content.begin(), content.end(),
                                                   [](const InlineNode &node) {
                                                       return node.imageData().has_value();
                                                   });
                    View cellLabel;
                    if (std::optional<View> flow = imageFlow(content))
                        cellLabel = *flow;
                    else
                        cellLabel = inlineText(content);
                    const TableCellConfiguration configuration{
                        int(row), int(column), cellLabel,
                        MarkdownContent(QList<BlockNode>{BlockNode::Paragraph{content}})};
                    cells.push_back(theme.tableCell(configuration)(labelContext));
                }
            }
            // A table too wide for its words scrolls sideways as wide code does.
            return BlockItemPointer(std::make_unique<HorizontalScrollItem>(
                std::make_unique<TableGridItem>(std::move(cells), std::move(alignments),
                                                rows.size(),
                                                labelContext.currentTableBorderStyle(),
                                                labelContext.currentTableBackgroundStyle(),
                                                labelContext.colorScheme, holdsPictures),
                HorizontalScrollItem::ContentWidth::offered));
        };
        const BlockConfiguration configuration{
            label, MarkdownContent(QList<BlockNode>{BlockNode::Table{columnAlignments, rows}})};
        return theme.table(configuration)(context);
    };
}

} // namespace tolvaran::markdown
