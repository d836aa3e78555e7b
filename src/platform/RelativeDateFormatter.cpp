#include "platform/RelativeDateFormatter.h"

#include <array>
#include <cmath>

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

} // namespace

QString relativeDateText(Timestamp date, Timestamp now)
{
    const double distance = date.seconds - now.seconds;
    const bool isFuture = distance > 0.0;
    const double magnitude = std::fabs(distance);
    const Unit *chosen = &units.back();
    for (const Unit &unit : units) {
        if (magnitude >= unit.seconds) {
            chosen = &unit;
            break;
        }
    }
    const qint64 count = qint64(std::floor(magnitude / chosen->seconds));
    const QString amount = QString::number(count) + QLatin1Char(' ')
        + QLatin1String(count == 1 ? chosen->singular : chosen->plural);
    return isFuture ? QStringLiteral("in ") + amount : amount + QStringLiteral(" ago");
}

} // namespace tolvaran
