#include "markdown_view/theme/TableBorderStyle.h"

namespace tolvaran::markdown {

TableBorderStyle::TableBorderStyle(TableBorderSelector borders, const Color &borderColor,
                                   const StrokeStyle &stroke)
    : visibleBorders(std::move(borders))
    , color(borderColor)
    , strokeStyle(stroke)
{
}

TableBorderStyle::TableBorderStyle(TableBorderSelector borders, const Color &borderColor,
                                   qreal width)
    : TableBorderStyle(std::move(borders), borderColor,
                       StrokeStyle{width, Qt::FlatCap, Qt::MiterJoin, 10, {}, 0})
{
}

const TableBorderStyle &TableBorderStyle::defaultStyle()
{
    // The secondary text colour: the text colour at half strength.
    static const TableBorderStyle style(TableBorderSelector::allBorders(),
                                        Color::lightDark(Color::rgba(0x00000080),
                                                         Color::rgba(0xFFFFFF8C)),
                                        qreal(1));
    return style;
}

} // namespace tolvaran::markdown
