#pragma once

#include "markdown/nodes/InlineNode.h"
#include "markdown/MarkdownContent.h"
#include "markdown/MarkdownContentProtocol.h"

#include <QString>

#include <optional>

namespace tolvaran::markdown {

// A code block built in code; a language of none differs from an empty one.
class CodeBlock final : public MarkdownContentProtocol
{
public:
    CodeBlock(std::optional<QString> fenceLanguage, QString code);

    MarkdownContent markdownContent() const override;

    std::optional<QString> language;
    QString content;
};

} // namespace tolvaran::markdown
