#pragma once

#include "markdown_view/items/BlockItem.h"
#include "markdown_view/items/CodeTextItem.h"
#include "markdown_view/DocumentLayout.h"
#include "markdown_view/items/TextItem.h"

#include <QList>
#include <QPointF>
#include <QString>

namespace tolvaran::markdown::testing {

// The text items of an item tree, in reading order.
inline void collectTexts(const BlockItem &item, QList<const SelectableText *> &texts)
{
    if (const auto *text = dynamic_cast<const SelectableText *>(&item))
        texts.append(text);
    for (const BlockItem::Child &child : item.children())
        collectTexts(*child.item, texts);
}

inline QList<const SelectableText *> texts(const BlockItem &item)
{
    QList<const SelectableText *> result;
    collectTexts(item, result);
    return result;
}

// Every text of a laid-out document (of the blocks that hold items), one item's text per
// entry.
inline QStringList renderedTexts(const DocumentLayout &layout)
{
    QStringList result;
    for (qsizetype index = 0; index < layout.laidOutCount(); ++index) {
        if (!layout.item(index))
            continue;
        for (const SelectableText *text : texts(*layout.item(index)))
            result.append(text->text());
    }
    return result;
}

// An item of a laid-out tree with its top left in the tree's coordinates.
struct PlacedItem
{
    const BlockItem *item = nullptr;
    QPointF origin;
};

inline void collectPlaced(const BlockItem &item, QPointF origin, QList<PlacedItem> &placed)
{
    placed.append({&item, origin});
    for (const BlockItem::Child &child : item.children())
        collectPlaced(*child.item, origin + child.position, placed);
}

// Every item of a laid-out document (of the blocks that hold items), in reading order,
// placed in document coordinates.
inline QList<PlacedItem> placedItems(const DocumentLayout &layout)
{
    QList<PlacedItem> placed;
    for (qsizetype index = 0; index < layout.laidOutCount(); ++index) {
        if (layout.item(index))
            collectPlaced(*layout.item(index), layout.blockFrame(index).topLeft(), placed);
    }
    return placed;
}

// The placed items of type `Item`.
template <typename Item>
QList<std::pair<const Item *, QPointF>> placedOfType(const DocumentLayout &layout)
{
    QList<std::pair<const Item *, QPointF>> result;
    for (const PlacedItem &placed : placedItems(layout)) {
        if (const auto *item = dynamic_cast<const Item *>(placed.item))
            result.append({item, placed.origin});
    }
    return result;
}

} // namespace tolvaran::markdown::testing
