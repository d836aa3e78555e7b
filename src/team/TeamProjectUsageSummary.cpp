#include "team/TeamProjectUsageSummary.h"

namespace tolvaran {

double TeamProjectUsageSummary::lifetimePlanCost() const
{
    double total = 0.0;
    for (const TeamProjectUsageMember &member : members)
        total += member.usage.lifetimePlanCost.value_or(0.0);
    return total;
}

size_t qHash(const TeamProjectUsageSummary &summary, size_t seed) noexcept
{
    return qHashMulti(seed, summary.members.size(),
                      qHashRange(summary.members.cbegin(), summary.members.cend()));
}

} // namespace tolvaran
