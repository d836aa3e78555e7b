#pragma once

#include "markdown/InlineContent.h"
#include "markdown/MarkdownContent.h"
#include "markdown/MarkdownContentProtocol.h"

namespace tolvaran::markdown {

// A paragraph built in code from inline content.
class Paragraph final : public MarkdownContentProtocol
{
public:
    explicit Paragraph(InlineContent inlines);

    MarkdownContent markdownContent() const override;

    InlineContent content;
};

} // namespace tolvaran::markdown
