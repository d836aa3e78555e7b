#include "markdown_view/theme/Color.h"

#include <QPalette>

namespace tolvaran::markdown {

ColorScheme colorScheme(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF()
                   < palette.color(QPalette::WindowText).lightnessF()
               ? ColorScheme::dark
               : ColorScheme::light;
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
