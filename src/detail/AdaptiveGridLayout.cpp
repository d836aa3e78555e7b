#include "detail/AdaptiveGridLayout.h"

#include <QWidget>

#include <algorithm>

namespace tolvaran {

AdaptiveGridLayout::AdaptiveGridLayout(int minimumWidth, int maximumWidth, int spacing,
                                       QWidget *parent)
    : QLayout(parent)
    , m_minimumWidth(minimumWidth)
    , m_maximumWidth(maximumWidth)
    , m_gridSpacing(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

AdaptiveGridLayout::~AdaptiveGridLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void AdaptiveGridLayout::setColumnWidths(int minimumWidth, int maximumWidth)
{
    m_minimumWidth = minimumWidth;
    m_maximumWidth = maximumWidth;
    invalidate();
}

int AdaptiveGridLayout::columnCount(int width) const
{
    return std::max(1, (width + m_gridSpacing) / (m_minimumWidth + m_gridSpacing));
}

int AdaptiveGridLayout::columnWidth(int width) const
{
    const int columns = columnCount(width);
    const int shared = (width - (columns - 1) * m_gridSpacing) / columns;
    return std::clamp(shared, 1, m_maximumWidth);
}

void AdaptiveGridLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

int AdaptiveGridLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem *AdaptiveGridLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem *AdaptiveGridLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

Qt::Orientations AdaptiveGridLayout::expandingDirections() const
{
    return Qt::Horizontal;
}

bool AdaptiveGridLayout::hasHeightForWidth() const
{
    return true;
}

int AdaptiveGridLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize AdaptiveGridLayout::sizeHint() const
{
    return QSize(m_maximumWidth, heightForWidth(m_maximumWidth));
}

QSize AdaptiveGridLayout::minimumSize() const
{
    return QSize(m_minimumWidth, heightForWidth(m_minimumWidth));
}

void AdaptiveGridLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int AdaptiveGridLayout::arrange(const QRect &rect, bool apply) const
{
    QList<QLayoutItem *> shown;
    for (QLayoutItem *item : m_items) {
        if (!item->isEmpty())
            shown.append(item);
    }
    if (shown.isEmpty())
        return 0;
    const int columns = columnCount(rect.width());
    const int width = columnWidth(rect.width());
    int top = rect.y();
    for (qsizetype first = 0; first < shown.size(); first += columns) {
        const qsizetype last = std::min(shown.size(), first + columns);
        int rowHeight = 0;
        for (qsizetype index = first; index < last; ++index) {
            QLayoutItem *item = shown.at(index);
            rowHeight = std::max(rowHeight, item->hasHeightForWidth()
                                                ? item->heightForWidth(width)
                                                : item->sizeHint().height());
        }
        if (apply) {
            for (qsizetype index = first; index < last; ++index) {
                const int left = rect.x() + int(index - first) * (width + m_gridSpacing);
                shown.at(index)->setGeometry(QRect(left, top, width, rowHeight));
            }
        }
        top += rowHeight + m_gridSpacing;
    }
    return top - m_gridSpacing - rect.y();
}

} // namespace tolvaran
