#include "markdown/nodes/TaskList.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

TaskList::TaskList(bool isTight, const QList<TaskListItem> &listItems)
    : tight(storedTightness(isTight, listItems))
{
    for (const TaskListItem &item : listItems)
        items.append(RawTaskListItem{item.isCompleted, item.children});
}

MarkdownContent TaskList::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::TaskList{tight, items}});
}

} // namespace tolvaran::markdown
