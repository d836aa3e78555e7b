#include "app/cards/AdaptiveCardFlowLayout.h"

#include <algorithm>
#include <cmath>

namespace tolvaran {

void AdaptiveCardFlowLayout::setScale(double scale)
{
    m_scale = scale > 0 ? scale : 1.0;
}

void AdaptiveCardFlowLayout::setMinimumCardHeight(double height)
{
    m_minimumCardHeight = height;
}

bool AdaptiveCardFlowLayout::updateViewportWidth(double width, double scrollInsetLeft,
                                                 double scrollInsetRight)
{
    if (width <= minimumViewportWidth)
        return false;
    const double previousInset = m_sectionInsets.left;
    const double sideInset =
        std::clamp(std::floor((width - 2.0) * 0.5), 0.0, defaultSectionInset);
    m_sectionInsets.left = sideInset;
    m_sectionInsets.right = sideInset;

    const double available =
        std::max(1.0, width - 2.0 * sideInset - scrollInsetLeft - scrollInsetRight);
    const double spacing = interItemSpacing;
    const double columns =
        std::max(1.0, std::floor((spacing + available) / (spacing + minimumCardWidth * m_scale)));
    const double fitted = std::floor((available - spacing * (columns - 1.0)) / columns);
    const double itemWidth =
        std::max(1.0, std::min({fitted, maximumCardWidth * m_scale, available - 1.0}));
    const double itemHeight = std::ceil(std::max(baseCardHeight(), m_minimumCardHeight));

    const bool changed = std::abs(itemWidth - m_itemSize.width()) > changeTolerance
                         || std::abs(itemHeight - m_itemSize.height()) > changeTolerance
                         || std::abs(sideInset - previousInset) > changeTolerance;
    m_itemSize = QSizeF(itemWidth, itemHeight);
    return changed;
}

bool AdaptiveCardFlowLayout::shouldInvalidateLayout(double currentWidth, double newWidth)
{
    return std::abs(currentWidth - newWidth) > changeTolerance;
}

int AdaptiveCardFlowLayout::columnCount(double viewportWidth) const
{
    const double available = viewportWidth - m_sectionInsets.left - m_sectionInsets.right;
    const double columns =
        std::floor((available + interItemSpacing) / (m_itemSize.width() + interItemSpacing));
    return std::max(1, static_cast<int>(columns));
}

QRectF AdaptiveCardFlowLayout::itemRect(int index, double viewportWidth) const
{
    const int columns = columnCount(viewportWidth);
    const int row = index / columns;
    const int column = index % columns;
    const double available = viewportWidth - m_sectionInsets.left - m_sectionInsets.right;
    const double leftover = std::max(0.0, available - columns * m_itemSize.width());
    // Like a flow layout, full rows are justified: the room the capped card width leaves goes
    // between the cards; a partial last row keeps the pitch of the full rows. A single column
    // is centred instead of hugging the left edge.
    double x = m_sectionInsets.left;
    if (columns == 1)
        x += std::floor(leftover / 2.0);
    else
        x += column * (m_itemSize.width() + leftover / (columns - 1));
    const double y = m_sectionInsets.top + row * (m_itemSize.height() + lineSpacing);
    return QRectF(std::floor(x), y, m_itemSize.width(), m_itemSize.height());
}

double AdaptiveCardFlowLayout::contentHeight(int count, double viewportWidth) const
{
    if (count <= 0)
        return m_sectionInsets.top + m_sectionInsets.bottom;
    const int columns = columnCount(viewportWidth);
    const int rows = (count + columns - 1) / columns;
    return m_sectionInsets.top + rows * m_itemSize.height() + (rows - 1) * lineSpacing
           + m_sectionInsets.bottom;
}

std::pair<int, int> AdaptiveCardFlowLayout::itemsInBand(double top, double bottom, int count,
                                                        double viewportWidth) const
{
    if (count <= 0 || bottom < top)
        return {0, -1};
    const int columns = columnCount(viewportWidth);
    const double pitch = m_itemSize.height() + lineSpacing;
    const int rows = (count + columns - 1) / columns;
    const int firstRow =
        std::clamp(static_cast<int>(std::floor((top - m_sectionInsets.top) / pitch)), 0, rows);
    const int lastRow = std::clamp(
        static_cast<int>(std::floor((bottom - m_sectionInsets.top) / pitch)), 0, rows - 1);
    if (firstRow > lastRow)
        return {0, -1};
    return {firstRow * columns, std::min(count - 1, (lastRow + 1) * columns - 1)};
}

} // namespace tolvaran
