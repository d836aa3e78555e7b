#include "markdown_view/theme/StyleContext.h"

#include "markdown_view/theme/Theme.h"

#include <vector>

namespace tolvaran::markdown {

StyleContext StyleContext::root(std::shared_ptr<const Theme> theme)
{
    StyleContext context;
    context.theme = theme ? std::move(theme) : std::make_shared<const Theme>(Theme::basic());
    context.textStyle = TextStyle(FontProperties());
    return context;
}

StyleContext StyleContext::withTextStyle(const TextStyle &style) const
{
    StyleContext result = *this;
    if (style.isEmpty())
        return result;
    result.textStyle = textStyle.appending(style);
    result.m_attributes.reset();
    return result;
}

const TextAttributes &StyleContext::attributes() const
{
    if (!m_attributes) {
        TextAttributes result;
        result.fontProperties = FontProperties();
        textStyle.collectAttributes(result);
        m_attributes = std::make_shared<const TextAttributes>(std::move(result));
    }
    return *m_attributes;
}

const Theme &StyleContext::currentTheme() const
{
    return *theme;
}

const TableBorderStyle &StyleContext::currentTableBorderStyle() const
{
    return tableBorderStyle ? *tableBorderStyle : TableBorderStyle::defaultStyle();
}

TableBackgroundStyle StyleContext::currentTableBackgroundStyle() const
{
    return tableBackgroundStyle ? *tableBackgroundStyle : TableBackgroundStyle::clear();
}

namespace {

QTextCharFormat makeCharacterFormat(const TextAttributes &attributes, ColorScheme scheme)
{
    QTextCharFormat format;
    format.setFont(attributes.fontProperties.value_or(FontProperties()).font(),
                   QTextCharFormat::FontPropertiesAll);
    if (attributes.foregroundColor)
        format.setForeground(attributes.foregroundColor->resolved(scheme));
    if (attributes.backgroundColor)
        format.setBackground(attributes.backgroundColor->resolved(scheme));
    if (attributes.strikethroughStyle)
        format.setFontStrikeOut(true);
    if (attributes.underlineStyle) {
        format.setFontUnderline(true);
        if (attributes.underlineStyle->pattern != LineStyle::Pattern::solid) {
            const bool dotted = attributes.underlineStyle->pattern == LineStyle::Pattern::dot;
            format.setUnderlineStyle(dotted ? QTextCharFormat::DotLine
                                            : QTextCharFormat::DashUnderline);
        }
        if (attributes.underlineStyle->color)
            format.setUnderlineColor(attributes.underlineStyle->color->resolved(scheme));
    }
    if (attributes.kern || attributes.tracking) {
        format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        format.setFontLetterSpacing(attributes.kern.value_or(0)
                                    + attributes.tracking.value_or(0));
    }
    return format;
}

struct CachedFormat
{
    TextAttributes attributes;
    ColorScheme scheme;
    QTextCharFormat format;
};

// Formats made so far, at most this many (a document has a few dozen sets at most).
constexpr std::size_t formatCacheLimit = 256;

} // namespace

QTextCharFormat characterFormat(const TextAttributes &attributes, ColorScheme scheme)
{
    thread_local std::vector<CachedFormat> cache;
    for (const CachedFormat &entry : cache) {
        if (entry.scheme == scheme && entry.attributes == attributes)
            return entry.format;
    }
    if (cache.size() >= formatCacheLimit)
        cache.clear();
    cache.push_back({attributes, scheme, makeCharacterFormat(attributes, scheme)});
    return cache.back().format;
}

} // namespace tolvaran::markdown
