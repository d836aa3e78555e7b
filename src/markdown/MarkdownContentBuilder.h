#pragma once

#include "markdown/MarkdownContent.h"

#include <QList>
#include <QString>

#include <optional>

namespace tolvaran::markdown {

// Assembles content from parts, in order: strings of Markdown and anything that yields
// content. Each string is parsed on its own, never joined to its neighbours first, so a list
// or a paragraph cannot continue from one part into the next; the parts' blocks are then
// concatenated. Conditions and loops are the caller's own code around `add`.
class MarkdownContentBuilder final
{
public:
    MarkdownContentBuilder &add(const QString &markdown);
    MarkdownContentBuilder &add(const MarkdownContentProtocol &part);
    // An absent part contributes no blocks.
    MarkdownContentBuilder &add(const std::optional<MarkdownContent> &part);

    MarkdownContent content() const { return MarkdownContent(m_parts); }

private:
    QList<MarkdownContent> m_parts;
};

} // namespace tolvaran::markdown
