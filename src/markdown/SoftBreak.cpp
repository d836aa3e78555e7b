#include "markdown/SoftBreak.h"

namespace tolvaran::markdown {

InlineContent SoftBreak::inlineContent() const
{
    static const InlineContent content(QList<InlineNode>{InlineNode::SoftBreak{}});
    return content;
}

} // namespace tolvaran::markdown
