#pragma once

#include <QtGlobal>

#include <algorithm>
#include <optional>

namespace tolvaran::markdown {

// The space a block asks for above and below itself, in pixels; absent where nothing asked.
struct BlockMargin
{
    std::optional<qreal> top;
    std::optional<qreal> bottom;

    // Each side the larger of the two present values; absent only when both are.
    BlockMargin combined(const BlockMargin &other) const
    {
        return {larger(top, other.top), larger(bottom, other.bottom)};
    }

    static std::optional<qreal> larger(std::optional<qreal> a, std::optional<qreal> b)
    {
        if (a && b)
            return std::max(*a, *b);
        return a ? a : b;
    }

    friend bool operator==(const BlockMargin &, const BlockMargin &) = default;
};

// The gap above a block of a vertical run, from its neighbours' margins: none above the
// first; otherwise the larger of the block's top margin and its predecessor's bottom margin,
// except that a tight run (a tight list's items) counts only the block's own top margin.
// When neither margin is present the run's default spacing applies.
inline constexpr qreal defaultBlockSpacing = 8;

inline qreal gapAbove(qsizetype position, const BlockMargin &block, const BlockMargin &previous,
                      bool tight)
{
    if (position == 0)
        return 0;
    const std::optional<qreal> bottom = tight ? std::optional<qreal>(0) : previous.bottom;
    const std::optional<qreal> gap = BlockMargin::larger(block.top, bottom);
    return gap.value_or(defaultBlockSpacing);
}

} // namespace tolvaran::markdown
