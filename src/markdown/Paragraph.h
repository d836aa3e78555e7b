#pragma once

#include "markdown/InlineNode.h"
#include "markdown/MarkdownContent.h"
#include "markdown/MarkdownContentProtocol.h"

namespace tolvaran::markdown {

// A paragraph built in code from inline nodes.
class Paragraph final : public MarkdownContentProtocol
{
public:
    explicit Paragraph(QList<InlineNode> inlines);

    MarkdownContent markdownContent() const override;

    QList<InlineNode> content;
};

} // namespace tolvaran::markdown
