#include "team/view/TeamProjectUsageSummary.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tolvaran {

double TeamProjectUsageSummary::lifetimePlanCost() const
{
    // The costs come from teammates' devices: a sum past the largest double is held there
    // rather than shown as infinity, and a cost that is not a finite number is left out.
    constexpr double largest = std::numeric_limits<double>::max();
    double total = 0.0;
    for (const TeamProjectUsageMember &member : members) {
        const double cost = member.usage.lifetimePlanCost.value_or(0.0);
        if (std::isfinite(cost))
            total = std::clamp(total + cost, -largest, largest);
    }
    return total;
}

size_t qHash(const TeamProjectUsageSummary &summary, size_t seed) noexcept
{
    return qHashMulti(seed, summary.members.size(),
                      qHashRange(summary.members.cbegin(), summary.members.cend()));
}

} // namespace tolvaran
