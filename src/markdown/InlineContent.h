#pragma once

#include "markdown/InlineContentProtocol.h"
#include "markdown/nodes/InlineNode.h"

#include <QList>

namespace tolvaran::markdown {

// Inline Markdown as a value, built in code rather than parsed: a flat list of inline nodes.
class InlineContent final : public InlineContentProtocol
{
public:
    InlineContent() = default;
    explicit InlineContent(QList<InlineNode> inlines);
    explicit InlineContent(InlineNode node);
    // The nodes of every component, concatenated in order.
    explicit InlineContent(const QList<InlineContent> &components);

    const QList<InlineNode> &inlines() const { return m_inlines; }

    InlineContent inlineContent() const override { return *this; }

    friend bool operator==(const InlineContent &a, const InlineContent &b)
    {
        return a.m_inlines == b.m_inlines;
    }

private:
    QList<InlineNode> m_inlines;
};

} // namespace tolvaran::markdown
