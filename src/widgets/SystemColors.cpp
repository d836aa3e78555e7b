#include "widgets/SystemColors.h"

#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace tolvaran::SystemColors {

namespace {

// How far legibleOn moves a colour's lightness per step (of 255), and at most how often.
constexpr int kLightnessStep = 6;
constexpr int kLightnessSteps = 255 / kLightnessStep + 1;
// How far fadedOn raises a faded colour's opacity per step.
constexpr double kOpacityStep = 0.02;

double relativeLuminance(const QColor &color)
{
    const auto channel = [](float value) {
        const double v = value;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF())
           + 0.0722 * channel(color.blueF());
}

bool isDark(const QColor &background)
{
    return relativeLuminance(background) < 0.18;
}

// The hue on the application's base colour: the dark variant on a dark base.
QColor fixedHue(QColor light, QColor dark)
{
    const QColor base = QGuiApplication::palette().color(QPalette::Base);
    return legibleOn(isDark(base) ? dark : light, base);
}

} // namespace

QColor red() { return fixedHue(QColor(255, 59, 48), QColor(255, 69, 58)); }
QColor orange() { return fixedHue(QColor(201, 104, 0), QColor(255, 159, 10)); }
QColor yellow() { return fixedHue(QColor(168, 120, 0), QColor(255, 214, 10)); }
QColor green() { return fixedHue(QColor(30, 140, 60), QColor(50, 215, 75)); }
QColor purple() { return fixedHue(QColor(175, 82, 222), QColor(191, 90, 242)); }
QColor blue() { return fixedHue(QColor(0, 122, 255), QColor(10, 132, 255)); }
QColor mint() { return fixedHue(QColor(0, 199, 190), QColor(99, 230, 226)); }

QColor accent(const QPalette &palette)
{
    return legibleOn(palette.color(QPalette::Active, QPalette::Highlight),
                     palette.color(QPalette::Base));
}

QColor label(const QPalette &palette)
{
    return palette.color(QPalette::WindowText);
}

QColor separator(const QPalette &palette)
{
    return withAlpha(label(palette), 0.16);
}

QColor controlBackground(const QPalette &palette)
{
    return palette.color(QPalette::Base);
}

double contrastRatio(const QColor &first, const QColor &second)
{
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor legibleOn(const QColor &color, const QColor &background)
{
    const bool lighten = isDark(background);
    QColor adjusted = color.toHsl();
    for (int step = 0; step < kLightnessSteps; ++step) {
        if (contrastRatio(adjusted, background) >= minimumContrast)
            break;
        const int lightness = adjusted.lightness();
        adjusted.setHsl(adjusted.hslHue(), adjusted.hslSaturation(),
                        std::clamp(lightness + (lighten ? kLightnessStep : -kLightnessStep), 0,
                                   255),
                        adjusted.alpha());
    }
    return adjusted.toRgb();
}

QColor readableOn(const QColor &preferred, const QColor &background)
{
    if (contrastRatio(preferred, background) >= minimumTextContrast)
        return preferred;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(black, background) >= contrastRatio(white, background) ? black : white;
}

QColor fadedOn(const QColor &text, const QColor &background, double opacity)
{
    const auto blend = [&](double alpha) {
        const auto channel = [alpha](float over, float under) {
            return static_cast<float>(alpha * over + (1 - alpha) * under);
        };
        return QColor::fromRgbF(channel(text.redF(), background.redF()),
                                channel(text.greenF(), background.greenF()),
                                channel(text.blueF(), background.blueF()));
    };
    for (double alpha = opacity; alpha < 1; alpha += kOpacityStep) {
        const QColor faded = blend(alpha);
        if (contrastRatio(faded, background) >= minimumTextContrast)
            return faded;
    }
    return blend(1);
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(static_cast<float>(color.alphaF() * alpha));
    return color;
}

} // namespace tolvaran::SystemColors
