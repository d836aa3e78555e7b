#include "platform/RelativeDateFormatter.h"

#include <array>
#include <cmath>
#include <limits>

namespace tolvaran {

namespace {

struct Unit
{
    double seconds;
    const char *singular;
    const char *plural;
};

constexpr double minute = 60.0;
constexpr double hour = 60.0 * minute;
constexpr double day = 24.0 * hour;

// Largest first; the first unit of which the distance holds at least one is used.
constexpr std::array<Unit, 7> units{{
    {365.0 * day, "yr.", "yr."},
    {30.0 * day, "mo.", "mo."},
    {7.0 * day, "wk.", "wk."},
    {day, "day", "days"},
    {hour, "hr.", "hr."},
    {minute, "min.", "min."},
    {1.0, "sec.", "sec."},
}};

const Unit &unitFor(double magnitude)
{
    for (const Unit &unit : units) {
        if (magnitude >= unit.seconds)
            return unit;
    }
    return units.back();
}

} // namespace

QString relativeDateText(Timestamp date, Timestamp now)
{
    const double distance = date.seconds - now.seconds;
    const bool isFuture = distance > 0.0;
    const double magnitude = std::fabs(distance);
    const Unit *chosen = &unitFor(magnitude);
    const qint64 count = qint64(std::floor(magnitude / chosen->seconds));
    const QString amount = QString::number(count) + QLatin1Char(' ')
        + QLatin1String(count == 1 ? chosen->singular : chosen->plural);
    return isFuture ? QStringLiteral("in ") + amount : amount + QStringLiteral(" ago");
}

double relativeDateTextChangesIn(Timestamp date, Timestamp now)
{
    const double distance = date.seconds - now.seconds;
    if (!std::isfinite(distance))
        return std::numeric_limits<double>::infinity();
    const double magnitude = std::fabs(distance);
    const Unit &unit = unitFor(magnitude);
    const double count = std::floor(magnitude / unit.seconds);
    if (distance > 0.0) {
        // Counting down: the text changes once the distance drops below the shown count (or,
        // below one unit, when a smaller unit takes over; at zero it turns to "ago").
        const double below = count * unit.seconds;
        return std::max(magnitude - below, 0.0) + std::numeric_limits<float>::epsilon();
    }
    // Counting up: the next whole unit, or a larger unit's first (12 months come before a
    // year of 365 days).
    double next = (count + 1.0) * unit.seconds;
    for (const Unit &larger : units) {
        if (larger.seconds > magnitude)
            next = std::min(next, larger.seconds);
    }
    return next - magnitude;
}

} // namespace tolvaran
