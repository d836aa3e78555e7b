#include "markdown_view/theme/TextStyle.h"

namespace tolvaran::markdown {

namespace {

template <class... Cases>
struct Overloaded : Cases...
{
    using Cases::operator()...;
};
template <class... Cases>
Overloaded(Cases...) -> Overloaded<Cases...>;

} // namespace

void collectAttributes(const TextStyleOperation &operation, TextAttributes &attributes)
{
    auto &font = attributes.fontProperties;
    std::visit(
        Overloaded{
            [&](const ForegroundColor &style) {
                attributes.foregroundColor = style.foregroundColor;
            },
            [&](const BackgroundColor &style) {
                attributes.backgroundColor = style.backgroundColor;
            },
            [&](const StrikethroughStyle &style) {
                attributes.strikethroughStyle = style.lineStyle;
            },
            [&](const UnderlineStyle &style) { attributes.underlineStyle = style.lineStyle; },
            [&](const TextKerning &style) { attributes.kern = style.kern; },
            [&](const TextTracking &style) { attributes.tracking = style.tracking; },
            [&](const FontProperties &style) { font = style; },
            [&](const FontFamily &style) {
                if (font)
                    font->family = style.family;
            },
            [&](const FontFamilyVariant &style) {
                if (font)
                    font->familyVariant = style.familyVariant;
            },
            [&](const FontCapsVariant &style) {
                if (font)
                    font->capsVariant = style.capsVariant;
            },
            [&](const FontDigitVariant &style) {
                if (font)
                    font->digitVariant = style.digitVariant;
            },
            [&](const FontStyle &style) {
                if (font)
                    font->style = style.style;
            },
            [&](const FontWeight &style) {
                if (font)
                    font->weight = style.weight;
            },
            [&](const FontWidth &style) {
                if (font)
                    font->widthStorage = style.width;
            },
            [&](const FontSize &style) {
                if (!font)
                    return;
                if (const auto *points = std::get_if<qreal>(&style.size)) {
                    font->size = *points;
                    font->scale = 1;
                } else {
                    const auto &relative = std::get<RelativeSize>(style.size);
                    if (relative.unit == RelativeSize::Unit::rem)
                        font->scale = relative.value;
                    else
                        font->scale *= relative.value;
                }
            },
        },
        operation);
}

TextStyle::TextStyle(std::initializer_list<TextStyleOperation> operations)
    : m_operations(operations)
{
}

TextStyle TextStyle::appending(const TextStyle &inner) const
{
    TextStyle result = *this;
    result.m_operations.append(inner.m_operations);
    return result;
}

void TextStyle::collectAttributes(TextAttributes &attributes) const
{
    for (const TextStyleOperation &operation : m_operations)
        markdown::collectAttributes(operation, attributes);
}

TextAttributes TextStyle::attributes() const
{
    TextAttributes result;
    collectAttributes(result);
    return result;
}

} // namespace tolvaran::markdown
