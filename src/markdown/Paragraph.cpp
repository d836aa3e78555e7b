#include "markdown/Paragraph.h"

#include "markdown/BlockNode.h"

namespace tolvaran::markdown {

Paragraph::Paragraph(QList<InlineNode> inlines)
    : content(std::move(inlines))
{
}

MarkdownContent Paragraph::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::Paragraph{content}});
}

} // namespace tolvaran::markdown
