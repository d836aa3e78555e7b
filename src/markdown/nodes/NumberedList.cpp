#include "markdown/nodes/NumberedList.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

NumberedList::NumberedList(bool isTight, int firstNumber, const QList<ListItem> &listItems)
    : tight(storedTightness(isTight, listItems))
    , start(firstNumber)
{
    for (const ListItem &item : listItems)
        items.append(RawListItem{item.children});
}

NumberedList NumberedList::of(const QStringList &texts, bool isTight, int firstNumber)
{
    QList<ListItem> all;
    for (const QString &text : texts)
        all.append(ListItem(text));
    return NumberedList(isTight, firstNumber, all);
}

MarkdownContent NumberedList::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::NumberedList{tight, start, items}});
}

} // namespace tolvaran::markdown
