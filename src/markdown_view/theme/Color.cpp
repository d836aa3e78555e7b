#include "markdown_view/theme/Color.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace tolvaran::markdown {

ColorScheme colorScheme(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF()
                   < palette.color(QPalette::WindowText).lightnessF()
               ? ColorScheme::dark
               : ColorScheme::light;
}

namespace {

// Luminance of sRGB: each channel linearised, weighted by how bright the eye sees it.
qreal relativeLuminance(const QColor &color)
{
    const auto linear = [](qreal channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF())
           + 0.0722 * linear(rgb.blueF());
}

} // namespace

qreal contrastRatio(const QColor &first, const QColor &second)
{
    const qreal a = relativeLuminance(first);
    const qreal b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

Color::Color(const QColor &color)
    : m_light(color)
    , m_dark(color)
{
}

Color Color::rgba(std::uint32_t value)
{
    return Color(QColor(int((value >> 24) & 0xFF), int((value >> 16) & 0xFF),
                        int((value >> 8) & 0xFF), int(value & 0xFF)));
}

Color Color::lightDark(const Color &light, const Color &dark)
{
    Color result;
    result.m_light = light.resolved(ColorScheme::light);
    result.m_dark = dark.resolved(ColorScheme::dark);
    return result;
}

QColor Color::resolved(ColorScheme scheme) const
{
    return scheme == ColorScheme::light ? m_light : m_dark;
}

} // namespace tolvaran::markdown
