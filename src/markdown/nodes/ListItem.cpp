#include "markdown/nodes/ListItem.h"

namespace tolvaran::markdown {

ListItem::ListItem(const QString &text)
    : children{BlockNode::Paragraph{{InlineNode::Text{text}}}}
{
}

size_t qHash(const ListItem &item, size_t seed) noexcept
{
    return qHashRange(item.children.begin(), item.children.end(), seed);
}

} // namespace tolvaran::markdown
