#include "markdown/nodes/CodeBlock.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

CodeBlock::CodeBlock(std::optional<QString> fenceLanguage, QString code)
    : language(std::move(fenceLanguage))
    , content(std::move(code))
{
}

MarkdownContent CodeBlock::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::CodeBlock{language, content}});
}

} // namespace tolvaran::markdown
