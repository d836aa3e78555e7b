#include "markdown/nodes/ThematicBreak.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

ThematicBreak::ThematicBreak()
{
}

MarkdownContent ThematicBreak::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::ThematicBreak{}});
}

} // namespace tolvaran::markdown
