#pragma once

#include "markdown/InlineContent.h"

#include <QList>
#include <QString>

#include <optional>

namespace tolvaran::markdown {

// Joins inline content from parts, in order: strings, each of which becomes one text node
// exactly as written (never parsed as Markdown), and anything that yields inline content.
// Conditions and loops are the caller's own code around `add`.
class InlineContentBuilder final
{
public:
    InlineContentBuilder &add(const QString &text);
    InlineContentBuilder &add(const InlineContentProtocol &part);
    // An absent part adds no nodes.
    InlineContentBuilder &add(const std::optional<InlineContent> &part);

    InlineContent content() const { return InlineContent(m_parts); }

private:
    QList<InlineContent> m_parts;
};

} // namespace tolvaran::markdown
