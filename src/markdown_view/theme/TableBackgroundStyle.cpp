#include "markdown_view/theme/TableBackgroundStyle.h"

namespace tolvaran::markdown {

TableBackgroundStyle TableBackgroundStyle::clear()
{
    return {[](int, int) { return Color(); }};
}

TableBackgroundStyle TableBackgroundStyle::alternatingRows(const Color &first,
                                                           const Color &second,
                                                           const std::optional<Color> &header)
{
    return {[first, second, header](int row, int) {
        if (row == 0)
            return header.value_or(first);
        return row % 2 == 1 ? first : second;
    }};
}

} // namespace tolvaran::markdown
