#include "markdown_view/theme/FontProperties.h"

#include <QFontDatabase>
#include <QStringList>

#include <cmath>

namespace tolvaran::markdown {

namespace {

QFont::Weight qtWeight(FontProperties::Weight weight)
{
    switch (weight) {
    case FontProperties::Weight::ultraLight:
        return QFont::ExtraLight;
    case FontProperties::Weight::thin:
        return QFont::Thin;
    case FontProperties::Weight::light:
        return QFont::Light;
    case FontProperties::Weight::regular:
        return QFont::Normal;
    case FontProperties::Weight::medium:
        return QFont::Medium;
    case FontProperties::Weight::semibold:
        return QFont::DemiBold;
    case FontProperties::Weight::bold:
        return QFont::Bold;
    case FontProperties::Weight::heavy:
        return QFont::ExtraBold;
    case FontProperties::Weight::black:
        return QFont::Black;
    }
    return QFont::Normal;
}

int qtStretch(FontProperties::Width width)
{
    switch (width) {
    case FontProperties::Width::compressed:
        return QFont::ExtraCondensed;
    case FontProperties::Width::condensed:
        return QFont::Condensed;
    case FontProperties::Width::standard:
        return QFont::Unstretched;
    case FontProperties::Width::expanded:
        return QFont::Expanded;
    }
    return QFont::Unstretched;
}

} // namespace

int wholePoints(qreal value)
{
    return int(std::round(value)); // std::round rounds halves away from zero
}

int FontProperties::scaledSize() const
{
    return wholePoints(size * scale);
}

QFont FontProperties::font() const
{
    const bool monospaced = familyVariant == FamilyVariant::monospaced
                            || (!family.name && family.design == Design::monospaced);
    // Asked once: the platform's answer does not change while the program runs, and every
    // run of text asks.
    static const QFont general = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    static const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QFont result = monospaced ? fixed : general;
    if (family.name) {
        result.setFamilies(QStringList{*family.name, result.family()});
    } else if (family.design == Design::serif && !monospaced) {
        result.setFamilies(QStringList{QStringLiteral("serif")});
        result.setStyleHint(QFont::Serif);
    }
    if (monospaced)
        result.setStyleHint(QFont::Monospace);
    result.setPixelSize(std::max(1, scaledSize()));
    switch (capsVariant) {
    case CapsVariant::normal:
        break;
    case CapsVariant::smallCaps:
    case CapsVariant::lowercaseSmallCaps:
    case CapsVariant::uppercaseSmallCaps:
        result.setCapitalization(QFont::SmallCaps);
        break;
    }
    result.setWeight(qtWeight(weight));
    result.setStretch(qtStretch(width()));
    result.setItalic(style == Style::italic);
    return result;
}

int RelativeSize::points(const std::optional<FontProperties> &font) const
{
    const FontProperties properties = font.value_or(FontProperties());
    const qreal base = unit == Unit::rem ? properties.size : properties.scaledSize();
    return wholePoints(value * base);
}

} // namespace tolvaran::markdown
