#include "markdown/raw/RawListItem.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

bool operator==(const RawListItem &, const RawListItem &) = default;

size_t qHash(const RawListItem &item, size_t seed) noexcept
{
    return qHashRange(item.children.begin(), item.children.end(), seed);
}

} // namespace tolvaran::markdown
