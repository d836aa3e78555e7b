#include "markdown/nodes/Code.h"

namespace tolvaran::markdown {

Code::Code(QString codeText)
    : text(std::move(codeText))
{
}

InlineContent Code::inlineContent() const
{
    return InlineContent(InlineNode::Code{text});
}

} // namespace tolvaran::markdown
