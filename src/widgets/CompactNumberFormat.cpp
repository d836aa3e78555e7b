#include "widgets/CompactNumberFormat.h"

#include <array>
#include <cmath>

namespace tolvaran {

namespace {

struct Magnitude
{
    double factor;
    char suffix;
};

// Smallest first.
constexpr std::array<Magnitude, 4> magnitudes{{
    {1e3, 'K'},
    {1e6, 'M'},
    {1e9, 'B'},
    {1e12, 'T'},
}};

} // namespace

QString compactTokens(qint64 count)
{
    const QLocale locale;
    const double magnitude = std::fabs(double(count));
    if (magnitude < magnitudes.front().factor)
        return locale.toString(count);
    for (std::size_t i = 0; i < magnitudes.size(); ++i) {
        const double scaled = std::round(magnitude / magnitudes[i].factor * 10.0) / 10.0;
        // 999,960 rounds to 1000.0K and is written 1M instead.
        if (scaled >= 1000.0 && i + 1 < magnitudes.size())
            continue;
        const QString digits = scaled == std::floor(scaled) ? locale.toString(qint64(scaled))
                                                            : locale.toString(scaled, 'f', 1);
        return (count < 0 ? QString(locale.negativeSign()) : QString()) + digits
            + QLatin1Char(magnitudes[i].suffix);
    }
    return locale.toString(count);
}

QString shortDecimal(double value, int digits, const QLocale &locale)
{
    // Rounded first, so that the shortest form has at most `digits` fraction digits.
    const double scale = std::pow(10.0, digits);
    const double rounded = std::round(value * scale) / scale;
    return locale.toString(rounded == 0 ? 0.0 : rounded, 'f', QLocale::FloatingPointShortest);
}

} // namespace tolvaran
