#include "markdown/Heading.h"

#include "markdown/BlockNode.h"

namespace tolvaran::markdown {

Heading::Heading(Level headingLevel, QList<InlineNode> inlines)
    : level(headingLevel)
    , content(std::move(inlines))
{
}

MarkdownContent Heading::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::Heading{int(level), content}});
}

} // namespace tolvaran::markdown
