#include "markdown/LineBreak.h"

namespace tolvaran::markdown {

InlineContent LineBreak::inlineContent() const
{
    static const InlineContent content(QList<InlineNode>{InlineNode::LineBreak{}});
    return content;
}

} // namespace tolvaran::markdown
