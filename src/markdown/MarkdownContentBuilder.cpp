#include "markdown/MarkdownContentBuilder.h"

namespace tolvaran::markdown {

MarkdownContentBuilder &MarkdownContentBuilder::add(const QString &markdown)
{
    m_parts.append(MarkdownContent(markdown));
    return *this;
}

MarkdownContentBuilder &MarkdownContentBuilder::add(const MarkdownContentProtocol &part)
{
    m_parts.append(part.markdownContent());
    return *this;
}

MarkdownContentBuilder &MarkdownContentBuilder::add(const std::optional<MarkdownContent> &part)
{
    if (part)
        m_parts.append(*part);
    return *this;
}

} // namespace tolvaran::markdown
