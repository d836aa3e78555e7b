#pragma once

#include <QColor>

#include <cstdint>

class QPalette;

namespace tolvaran::markdown {

// The appearance a colour is resolved for.
enum class ColorScheme { light, dark };

// The scheme of a palette: dark when its window is darker than its window text, as a dark
// desktop theme paints it.
ColorScheme colorScheme(const QPalette &palette);

// How far apart two opaque colours are to the eye, as the ratio of their relative luminances
// (each plus 0.05): from 1 (equal) to 21 (black on white).
qreal contrastRatio(const QColor &first, const QColor &second);

// A colour of a theme: one fixed colour, or a pair that follows the appearance.
class Color final
{
public:
    Color() = default; // transparent black
    Color(const QColor &color); // NOLINT: a fixed colour converts implicitly

    // A colour in sRGB from 0xRRGGBBAA.
    static Color rgba(std::uint32_t value);
    // `light` under a light appearance, `dark` under a dark one.
    static Color lightDark(const Color &light, const Color &dark);

    QColor resolved(ColorScheme scheme) const;

    friend bool operator==(const Color &, const Color &) = default;

private:
    QColor m_light{0, 0, 0, 0};
    QColor m_dark{0, 0, 0, 0};
};

} // namespace tolvaran::markdown
