#include "markdown/InlineContent.h"

namespace tolvaran::markdown {

InlineContent::InlineContent(QList<InlineNode> inlines)
    : m_inlines(std::move(inlines))
{
}

InlineContent::InlineContent(InlineNode node)
{
    // Appended rather than listed in braces: GCC's optimiser takes a one-node initialiser
    // list of this variant for uninitialised memory.
    m_inlines.append(std::move(node));
}

InlineContent::InlineContent(const QList<InlineContent> &components)
{
    for (const InlineContent &component : components)
        m_inlines += component.m_inlines;
}

} // namespace tolvaran::markdown
