#pragma once

#include "markdown/nodes/InlineNode.h"
#include "markdown/MarkdownContent.h"
#include "markdown/MarkdownContentProtocol.h"

namespace tolvaran::markdown {

// A thematic break built in code.
class ThematicBreak final : public MarkdownContentProtocol
{
public:
    ThematicBreak();

    MarkdownContent markdownContent() const override;
};

} // namespace tolvaran::markdown
