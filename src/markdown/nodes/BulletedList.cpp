#include "markdown/nodes/BulletedList.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

BulletedList::BulletedList(bool isTight, const QList<ListItem> &listItems)
    : tight(storedTightness(isTight, listItems))
{
    for (const ListItem &item : listItems)
        items.append(RawListItem{item.children});
}

BulletedList BulletedList::of(const QStringList &texts, bool isTight)
{
    QList<ListItem> all;
    for (const QString &text : texts)
        all.append(ListItem(text));
    return BulletedList(isTight, all);
}

MarkdownContent BulletedList::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::BulletedList{tight, items}});
}

} // namespace tolvaran::markdown
