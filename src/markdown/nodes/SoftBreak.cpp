#include "markdown/nodes/SoftBreak.h"

namespace tolvaran::markdown {

InlineContent SoftBreak::inlineContent() const
{
    static const InlineContent content(InlineNode::SoftBreak{});
    return content;
}

} // namespace tolvaran::markdown
