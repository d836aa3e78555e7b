#pragma once

#include "markdown_view/items/BlockItem.h"
#include "markdown_view/theme/BlockStyle.h"

#include <QString>

namespace tolvaran::markdown {

// The Roman numeral of 1 to 3999 (upper case); other numbers in decimal digits.
QString romanNumeral(int number);

// A small drawn symbol (a list bullet or a check box), centred in a box as tall as a line of
// the font it stands beside.
class SymbolItem final : public BlockItem
{
public:
    enum class Shape { filledCircle, circle, filledSquare, emptyBox, checkedBox };
    SymbolItem(Shape shape, qreal glyphSize, qreal lineHeight, std::optional<QColor> color,
               const QString &accessibleName);
    void paint(const PaintContext &context, const QPointF &origin) const override;
    Shape shape() const { return m_shape; }
    const QString &accessibleName() const { return m_accessibleName; }

protected:
    QSizeF doLayout(qreal width) override;

private:
    Shape m_shape;
    qreal m_glyphSize;
    qreal m_lineHeight;
    std::optional<QColor> m_color;
    QString m_accessibleName;
};

// The marker styles of list items.
namespace markers {
BlockStyle<ListMarkerConfiguration> decimal();
BlockStyle<ListMarkerConfiguration> upperRoman();
BlockStyle<ListMarkerConfiguration> lowerRoman();
BlockStyle<ListMarkerConfiguration> dash();
BlockStyle<ListMarkerConfiguration> disc();
BlockStyle<ListMarkerConfiguration> circle();
BlockStyle<ListMarkerConfiguration> square();
// disc at level 1, circle at level 2, square deeper.
BlockStyle<ListMarkerConfiguration> discCircleSquare();
// An empty box, or a ticked one for a completed item.
BlockStyle<TaskListMarkerConfiguration> checkmarkSquare();
} // namespace markers

// A symbol of `shape` beside text: `sizeFactor` of the text size, in `color` (the text
// colour when absent), named for assistive technology where it stands for a state.
View symbol(SymbolItem::Shape shape, qreal sizeFactor, std::optional<Color> color,
            const QString &accessibleName = {});

// Plain text in the text style in force (markers and other labels not made of inline
// nodes).
View plainText(const QString &text);

} // namespace tolvaran::markdown
