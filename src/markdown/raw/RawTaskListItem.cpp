#include "markdown/raw/RawTaskListItem.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

bool operator==(const RawTaskListItem &, const RawTaskListItem &) = default;

size_t qHash(const RawTaskListItem &item, size_t seed) noexcept
{
    return qHashMulti(seed, item.isCompleted, item.children);
}

} // namespace tolvaran::markdown
