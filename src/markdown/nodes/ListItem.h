#pragma once

#include "markdown/nodes/BlockNode.h"
#include "markdown/MarkdownContent.h"

#include <QList>
#include <QString>

namespace tolvaran::markdown {

// One item of a bulleted or numbered list built in code.
struct ListItem
{
    QList<BlockNode> children;

    explicit ListItem(const MarkdownContent &content) : children(content.blocks()) {}
    // An item of one paragraph holding `text` as plain text (never parsed as Markdown).
    explicit ListItem(const QString &text);

    friend bool operator==(const ListItem &, const ListItem &) = default;
};

size_t qHash(const ListItem &item, size_t seed = 0) noexcept;

// Whether a list built in code is tight: as requested, unless an item holds two or more
// paragraphs directly (paragraphs inside its quotes or sub-lists do not count).
template <typename Item>
bool storedTightness(bool requested, const QList<Item> &items)
{
    for (const Item &item : items) {
        qsizetype paragraphs = 0;
        for (const BlockNode &child : item.children)
            paragraphs += child.template as<BlockNode::Paragraph>() ? 1 : 0;
        if (paragraphs >= 2)
            return false;
    }
    return requested;
}

} // namespace tolvaran::markdown
