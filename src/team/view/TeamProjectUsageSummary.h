#pragma once

#include "team/view/TeamProjectUsageMember.h"

#include <QList>

namespace tolvaran {

// The teammates' token usage on the repository of one local project, in snapshot order.
struct TeamProjectUsageSummary
{
    QList<TeamProjectUsageMember> members;

    // The sum of the members' plan costs, in list order, over those that have one; 0 when
    // none has.
    double lifetimePlanCost() const;

    friend bool operator==(const TeamProjectUsageSummary &, const TeamProjectUsageSummary &) =
        default;
};

size_t qHash(const TeamProjectUsageSummary &summary, size_t seed = 0) noexcept;

} // namespace tolvaran
