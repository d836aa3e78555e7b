#include "markdown/MarkdownContent.h"

#include "markdown/MarkdownParser.h"

namespace tolvaran::markdown {

MarkdownContent::MarkdownContent(const QString &markdown)
    : m_blocks(parseMarkdown(markdown))
{
}

MarkdownContent::MarkdownContent(QList<BlockNode> blocks)
    : m_blocks(std::move(blocks))
{
}

MarkdownContent::MarkdownContent(const QList<MarkdownContent> &components)
{
    for (const MarkdownContent &component : components)
        m_blocks.append(component.m_blocks);
}

std::optional<MarkdownContent> MarkdownContent::childContent() const
{
    QList<BlockNode> children;
    for (const BlockNode &block : m_blocks)
        children.append(block.children());
    if (children.isEmpty())
        return std::nullopt;
    return MarkdownContent(std::move(children));
}

QString MarkdownContent::renderMarkdown() const
{
    return markdown::renderMarkdown(m_blocks);
}

QString MarkdownContent::renderPlainText() const
{
    return markdown::renderPlainText(m_blocks);
}

QString MarkdownContent::renderHTML() const
{
    return markdown::renderHTML(m_blocks);
}

} // namespace tolvaran::markdown
