#include "markdown/nodes/Heading.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

Heading::Heading(Level headingLevel, InlineContent inlines)
    : level(headingLevel)
    , content(std::move(inlines))
{
}

MarkdownContent Heading::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::Heading{int(level), content.inlines()}});
}

} // namespace tolvaran::markdown
