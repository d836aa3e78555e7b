#pragma once

#include "markdown_view/BlockItem.h"
#include "markdown_view/CodeTextItem.h"
#include "markdown_view/DocumentLayout.h"
#include "markdown_view/TextItem.h"

#include <QList>
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

// Every text of a laid-out document, one item's text per entry.
inline QStringList renderedTexts(const DocumentLayout &layout)
{
    QStringList result;
    for (qsizetype index = 0; index < layout.laidOutCount(); ++index) {
        for (const SelectableText *text : texts(*layout.item(index)))
            result.append(text->text());
    }
    return result;
}

} // namespace tolvaran::markdown::testing
