#pragma once

#include "markdown/nodes/InlineNode.h"
#include "markdown/MarkdownContent.h"
#include "markdown/MarkdownContentProtocol.h"

namespace tolvaran::markdown {

// A block quote built in code around content.
class Blockquote final : public MarkdownContentProtocol
{
public:
    explicit Blockquote(MarkdownContent quoted);

    MarkdownContent markdownContent() const override;

    MarkdownContent content;
};

} // namespace tolvaran::markdown
