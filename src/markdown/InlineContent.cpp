#include "markdown/InlineContent.h"

namespace tolvaran::markdown {

InlineContent::InlineContent(QList<InlineNode> inlines)
    : m_inlines(std::move(inlines))
{
}

InlineContent::InlineContent(const QList<InlineContent> &components)
{
    for (const InlineContent &component : components)
        m_inlines += component.m_inlines;
}

} // namespace tolvaran::markdown
