#include "detail/SplitRowLayout.h"

#include <QWidget>

#include <algorithm>

namespace tolvaran {

namespace {

int heightAt(const QLayoutItem *item, int width)
{
    return item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
}

} // namespace

SplitRowLayout::SplitRowLayout(QWidget *parent)
    : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
}

SplitRowLayout::~SplitRowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void SplitRowLayout::setItemSpacing(int spacing)
{
    m_itemSpacing = spacing;
    invalidate();
}

bool SplitRowLayout::isSplit(int width) const
{
    const QList<QLayoutItem *> items = shownItems();
    if (items.size() < 2)
        return false;
    const QMargins margins = contentsMargins();
    const int room = width - margins.left() - margins.right();
    return items.at(0)->sizeHint().width() + m_itemSpacing + items.at(1)->sizeHint().width()
        > room;
}

void SplitRowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
    invalidate();
}

int SplitRowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem *SplitRowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem *SplitRowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem *item = m_items.takeAt(index);
    invalidate();
    return item;
}

Qt::Orientations SplitRowLayout::expandingDirections() const
{
    return {};
}

bool SplitRowLayout::hasHeightForWidth() const
{
    return true;
}

int SplitRowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize SplitRowLayout::minimumSize() const
{
    // As narrow as the wider item: the other can go to a line of its own.
    QSize size;
    for (const QLayoutItem *item : shownItems())
        size = size.expandedTo(item->minimumSize());
    return size.grownBy(contentsMargins());
}

QSize SplitRowLayout::sizeHint() const
{
    // Side by side.
    int width = 0;
    int height = 0;
    const QList<QLayoutItem *> items = shownItems();
    for (const QLayoutItem *item : items) {
        width += item->sizeHint().width();
        height = std::max(height, item->sizeHint().height());
    }
    if (items.size() == 2)
        width += m_itemSpacing;
    return QSize(width, height).grownBy(contentsMargins());
}

void SplitRowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

QList<QLayoutItem *> SplitRowLayout::shownItems() const
{
    QList<QLayoutItem *> shown;
    for (QLayoutItem *item : m_items) {
        if (!item->isEmpty() && shown.size() < 2)
            shown.append(item);
    }
    return shown;
}

int SplitRowLayout::arrange(const QRect &rect, bool place) const
{
    const QMargins margins = contentsMargins();
    const QRect area = rect.marginsRemoved(margins);
    const QList<QLayoutItem *> items = shownItems();
    const int extra = margins.top() + margins.bottom();
    if (items.isEmpty())
        return extra;
    QLayoutItem *leading = items.at(0);
    if (items.size() == 1) {
        const int height = heightAt(leading, area.width());
        if (place)
            leading->setGeometry(QRect(area.topLeft(), QSize(area.width(), height)));
        return height + extra;
    }

    QLayoutItem *trailing = items.at(1);
    const QSize trailingHint = trailing->sizeHint();
    const int trailingWidth = std::min(trailingHint.width(), area.width());
    const int trailingLeft = area.right() + 1 - trailingWidth;
    if (!isSplit(rect.width())) {
        const int leadingWidth = area.width() - m_itemSpacing - trailingWidth;
        const int leadingHeight = heightAt(leading, leadingWidth);
        const int height = std::max(leadingHeight, trailingHint.height());
        if (place) {
            leading->setGeometry(QRect(area.left(), area.top() + (height - leadingHeight) / 2,
                                       leadingWidth, leadingHeight));
            trailing->setGeometry(QRect(trailingLeft,
                                        area.top() + (height - trailingHint.height()) / 2,
                                        trailingWidth, trailingHint.height()));
        }
        return height + extra;
    }

    const int leadingHeight = heightAt(leading, area.width());
    if (place) {
        leading->setGeometry(QRect(area.topLeft(), QSize(area.width(), leadingHeight)));
        trailing->setGeometry(QRect(trailingLeft, area.top() + leadingHeight + m_itemSpacing,
                                    trailingWidth, trailingHint.height()));
    }
    return leadingHeight + m_itemSpacing + trailingHint.height() + extra;
}

} // namespace tolvaran
