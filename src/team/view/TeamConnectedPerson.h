#pragma once

#include "platform/Timestamp.h"
#include "team/view/TeamProjectUsageMember.h"

#include <QString>

namespace tolvaran {

// One entry of a team's people list.
struct TeamConnectedPerson
{
    QString name;
    bool isCurrentUser = false;
    qint64 activeProjectCount = 0;
    Timestamp lastSeenAt;

    QString id() const { return teamMemberIdentity(name); }

    friend bool operator==(const TeamConnectedPerson &, const TeamConnectedPerson &) = default;
};

inline size_t qHash(const TeamConnectedPerson &person, size_t seed = 0) noexcept
{
    return qHashMulti(seed, person.name, person.isCurrentUser, person.activeProjectCount,
                      person.lastSeenAt);
}

} // namespace tolvaran
