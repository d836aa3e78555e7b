#pragma once

#include <QList>

namespace tolvaran::markdown {

struct BlockNode;

// One item of a task list. BlockNode.h completes the type of its children; include that
// header to use an item.
struct RawTaskListItem
{
    bool isCompleted = false;
    QList<BlockNode> children;

    friend bool operator==(const RawTaskListItem &, const RawTaskListItem &);
};

size_t qHash(const RawTaskListItem &item, size_t seed = 0) noexcept;

} // namespace tolvaran::markdown
