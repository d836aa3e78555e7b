#include "markdown/nodes/LineBreak.h"

namespace tolvaran::markdown {

InlineContent LineBreak::inlineContent() const
{
    static const InlineContent content(InlineNode::LineBreak{});
    return content;
}

} // namespace tolvaran::markdown
