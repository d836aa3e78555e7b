#include "markdown/InlineContentBuilder.h"

namespace tolvaran::markdown {

InlineContentBuilder &InlineContentBuilder::add(const QString &text)
{
    m_parts.append(InlineContent(InlineNode::Text{text}));
    return *this;
}

InlineContentBuilder &InlineContentBuilder::add(const InlineContentProtocol &part)
{
    m_parts.append(part.inlineContent());
    return *this;
}

InlineContentBuilder &InlineContentBuilder::add(const std::optional<InlineContent> &part)
{
    if (part)
        m_parts.append(*part);
    return *this;
}

} // namespace tolvaran::markdown
