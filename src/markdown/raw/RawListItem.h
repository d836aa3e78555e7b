#pragma once

#include <QList>

namespace tolvaran::markdown {

struct BlockNode;

// One item of a bulleted or numbered list. BlockNode.h completes the type of its children;
// include that header to use an item.
struct RawListItem
{
    QList<BlockNode> children;

    friend bool operator==(const RawListItem &, const RawListItem &);
};

size_t qHash(const RawListItem &item, size_t seed = 0) noexcept;

} // namespace tolvaran::markdown
