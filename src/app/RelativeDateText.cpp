#include "app/RelativeDateText.h"

#include <cmath>

namespace tolvaran {

namespace {

struct Unit
{
    double seconds;
    const char *singular;
    const char *plural;
};

constexpr Unit units[] = {
    {365.0 * 86400.0, "yr.", "yr."}, {30.0 * 86400.0, "mo.", "mo."},
    {7.0 * 86400.0, "wk.", "wk."},   {86400.0, "day", "days"},
    {3600.0, "hr.", "hr."},          {60.0, "min.", "min."},
    {1.0, "sec.", "sec."},
};

} // namespace

QString cardRelativeDateText(Timestamp date, Timestamp now)
{
    const double delta = date.seconds - now.seconds;
    const double magnitude = std::abs(delta);
    const Unit *unit = &units[std::size(units) - 1];
    for (const Unit &candidate : units) {
        if (magnitude >= candidate.seconds) {
            unit = &candidate;
            break;
        }
    }
    const qint64 count = static_cast<qint64>(std::floor(magnitude / unit->seconds));
    const QString amount = QString::number(count) + QLatin1Char(' ')
                           + QLatin1String(count == 1 ? unit->singular : unit->plural);
    return delta > 0.0 ? QStringLiteral("in ") + amount : amount + QStringLiteral(" ago");
}

} // namespace tolvaran
