#pragma once

#include "markdown/InlineContent.h"

#include <QString>

namespace tolvaran::markdown {

// Emphasis, strong or struck-through text built in code: one node of the case `Node` around
// its content. The three differ only in that case, so they are one template.
template <typename Node>
class StyledInline final : public InlineContentProtocol
{
public:
    // Around `text` as one text node (never parsed as Markdown).
    explicit StyledInline(const QString &text)
        : content(InlineNode::Text{text})
    {
    }
    explicit StyledInline(InlineContent styledContent)
        : content(std::move(styledContent))
    {
    }

    InlineContent inlineContent() const override
    {
        return InlineContent(Node{content.inlines()});
    }

    InlineContent content;
};

using Emphasis = StyledInline<InlineNode::Emphasis>;
using Strong = StyledInline<InlineNode::Strong>;
using Strikethrough = StyledInline<InlineNode::Strikethrough>;

} // namespace tolvaran::markdown
