#include "markdown/nodes/TaskListItem.h"

namespace tolvaran::markdown {

TaskListItem::TaskListItem(const QString &text)
    : children{BlockNode::Paragraph{{InlineNode::Text{text}}}}
{
}

size_t qHash(const TaskListItem &item, size_t seed) noexcept
{
    return qHashMulti(seed, item.isCompleted,
                      qHashRange(item.children.begin(), item.children.end()));
}

} // namespace tolvaran::markdown
