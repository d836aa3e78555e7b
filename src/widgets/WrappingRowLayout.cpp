#include "widgets/WrappingRowLayout.h"

#include <QWidget>

#include <algorithm>

namespace tolvaran {

WrappingRowLayout::WrappingRowLayout(QWidget *parent)
    : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
}

WrappingRowLayout::~WrappingRowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void WrappingRowLayout::setHorizontalSpacing(int spacing)
{
    m_horizontalSpacing = spacing;
    invalidate();
}

void WrappingRowLayout::setVerticalSpacing(int spacing)
{
    m_verticalSpacing = spacing;
    invalidate();
}

void WrappingRowLayout::setMinimumLineHeight(int height)
{
    m_minimumLineHeight = height;
    invalidate();
}

void WrappingRowLayout::setFillsLines(bool fills)
{
    m_fillsLines = fills;
    invalidate();
}

void WrappingRowLayout::setLastItemAtTrailingEdge(bool trailing)
{
    m_lastItemAtTrailingEdge = trailing;
    invalidate();
}

void WrappingRowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
    invalidate();
}

int WrappingRowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem *WrappingRowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem *WrappingRowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem *item = m_items.takeAt(index);
    invalidate();
    return item;
}

Qt::Orientations WrappingRowLayout::expandingDirections() const
{
    return {};
}

bool WrappingRowLayout::hasHeightForWidth() const
{
    return true;
}

int WrappingRowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize WrappingRowLayout::minimumSize() const
{
    // As narrow as the widest item: everything else can go to a line of its own.
    QSize size(0, m_minimumLineHeight);
    for (const QLayoutItem *item : m_items) {
        if (!item->isEmpty())
            size = size.expandedTo(item->minimumSize());
    }
    const QMargins margins = contentsMargins();
    return size.grownBy(margins);
}

QSize WrappingRowLayout::sizeHint() const
{
    // Everything on one line.
    int width = 0;
    int height = m_minimumLineHeight;
    int shown = 0;
    for (const QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        width += hint.width() + (shown++ > 0 ? m_horizontalSpacing : 0);
        height = std::max(height, hint.height());
    }
    return QSize(width, height).grownBy(contentsMargins());
}

void WrappingRowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int WrappingRowLayout::arrange(const QRect &rect, bool place) const
{
    const QMargins margins = contentsMargins();
    const QRect area = rect.marginsRemoved(margins);
    struct Placed
    {
        QLayoutItem *item;
        int x;
        QSize size;
    };
    struct Line
    {
        QList<Placed> items;
        int height = 0;
    };
    QList<Line> lines;
    int x = 0;
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        if (lines.isEmpty()
            || (!lines.back().items.isEmpty()
                && x + m_horizontalSpacing + hint.width() > area.width())) {
            lines.append(Line{{}, m_minimumLineHeight});
            x = 0;
        } else if (!lines.back().items.isEmpty()) {
            x += m_horizontalSpacing;
        }
        Line &line = lines.back();
        line.items.append({item, x, hint});
        line.height = std::max(line.height, hint.height());
        x += hint.width();
    }

    int y = area.y();
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const Line &line = lines.at(index);
        if (place) {
            const Placed &end = line.items.constLast();
            const int spare = std::max(0, area.width() - end.x - end.size.width());
            const auto count = int(line.items.size());
            for (int at = 0; at < count; ++at) {
                const Placed &placed = line.items.at(at);
                // An item wider than the room alone on its line gets the room's width.
                int width = std::min(placed.size.width(), area.width());
                int left = placed.x;
                if (m_fillsLines) {
                    // Each item takes an equal share of the spare room, the last the rest.
                    left += spare / count * at;
                    width += at + 1 < count ? spare / count : spare - spare / count * at;
                } else if (m_lastItemAtTrailingEdge && index + 1 == lines.size()
                           && at + 1 == count && (index > 0 || count > 1)) {
                    left = area.width() - width;
                }
                placed.item->setGeometry(QRect(area.x() + left,
                                               y + (line.height - placed.size.height()) / 2,
                                               width, placed.size.height()));
            }
        }
        y += line.height + (index + 1 < lines.size() ? m_verticalSpacing : 0);
    }
    const int used = lines.isEmpty() ? m_minimumLineHeight : y - area.y();
    return used + margins.top() + margins.bottom();
}

} // namespace tolvaran
