#pragma once

#include "markdown_view/theme/Color.h"
#include "markdown_view/theme/FontProperties.h"

#include <QList>

#include <initializer_list>
#include <optional>
#include <type_traits>
#include <variant>

namespace tolvaran::markdown {

// A line drawn through or under text.
struct LineStyle
{
    enum class Pattern { solid, dot, dash };
    Pattern pattern = Pattern::solid;
    std::optional<Color> color; // the text colour when absent

    static LineStyle single() { return {}; }
    friend bool operator==(const LineStyle &, const LineStyle &) = default;
};

// The attributes that text styles write and text is drawn with. A style writes the
// attributes it names and leaves the others.
struct TextAttributes
{
    std::optional<FontProperties> fontProperties;
    std::optional<Color> foregroundColor;
    std::optional<Color> backgroundColor;
    std::optional<LineStyle> strikethroughStyle;
    std::optional<LineStyle> underlineStyle;
    std::optional<qreal> kern;
    std::optional<qreal> tracking;

    friend bool operator==(const TextAttributes &, const TextAttributes &) = default;
};

// The attribute operations. Each sets one attribute (an absent value removes it); the font
// field operations change one field of the font properties in force and do nothing when
// there are none. FontProperties itself replaces every font field at once.
struct ForegroundColor { std::optional<Color> foregroundColor; };
struct BackgroundColor { std::optional<Color> backgroundColor; };
struct StrikethroughStyle { std::optional<LineStyle> lineStyle; };
struct UnderlineStyle { std::optional<LineStyle> lineStyle; };
struct TextKerning { std::optional<qreal> kern; };
struct TextTracking { std::optional<qreal> tracking; };
struct FontFamily { FontProperties::Family family; };
struct FontFamilyVariant { FontProperties::FamilyVariant familyVariant; };
struct FontCapsVariant { FontProperties::CapsVariant capsVariant; };
struct FontDigitVariant { FontProperties::DigitVariant digitVariant; };
struct FontStyle { FontProperties::Style style; };
struct FontWeight { FontProperties::Weight weight; };
struct FontWidth { FontProperties::Width width; };
// A size in points (which also cancels every earlier multiplier), or relative: em
// multiplies the scale in force, rem sets the scale of the last point size.
struct FontSize
{
    std::variant<qreal, RelativeSize> size;
    FontSize(qreal points) : size(points) {} // NOLINT: as written in themes
    FontSize(RelativeSize relative) : size(relative) {} // NOLINT
};

using TextStyleOperation =
    std::variant<ForegroundColor, BackgroundColor, StrikethroughStyle, UnderlineStyle,
                 TextKerning, TextTracking, FontProperties, FontFamily, FontFamilyVariant,
                 FontCapsVariant, FontDigitVariant, FontStyle, FontWeight, FontWidth, FontSize>;

void collectAttributes(const TextStyleOperation &operation, TextAttributes &attributes);

// A text style: attribute operations applied in order, so for an attribute that two of them
// set the later one wins. Styles accumulate down the tree by appending: the inner style comes
// last and wins. The empty style changes nothing.
class TextStyle final
{
public:
    TextStyle() = default;
    TextStyle(std::initializer_list<TextStyleOperation> operations);
    // One operation is a style of its own.
    template <typename Operation>
        requires std::is_constructible_v<TextStyleOperation, Operation>
    TextStyle(Operation operation) // NOLINT: as written in themes
        : m_operations{TextStyleOperation(std::move(operation))}
    {
    }

    // This style, then `inner`.
    TextStyle appending(const TextStyle &inner) const;
    void collectAttributes(TextAttributes &attributes) const;
    // The attributes this style writes into an empty set.
    TextAttributes attributes() const;

    bool isEmpty() const { return m_operations.isEmpty(); }

private:
    QList<TextStyleOperation> m_operations;
};

} // namespace tolvaran::markdown
