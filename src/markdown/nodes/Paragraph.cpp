#include "markdown/nodes/Paragraph.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

Paragraph::Paragraph(InlineContent inlines)
    : content(std::move(inlines))
{
}

MarkdownContent Paragraph::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::Paragraph{content.inlines()}});
}

} // namespace tolvaran::markdown
