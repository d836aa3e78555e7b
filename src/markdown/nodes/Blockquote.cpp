#include "markdown/nodes/Blockquote.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

Blockquote::Blockquote(MarkdownContent quoted)
    : content(std::move(quoted))
{
}

MarkdownContent Blockquote::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::Blockquote{content.blocks()}});
}

} // namespace tolvaran::markdown
