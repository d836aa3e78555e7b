#pragma once

#include "data/git/SharedProjectState.h"
#include "platform/Timestamp.h"

#include <QString>

namespace tolvaran {

// The identity of a team member by name: the name lower-cased, so that two spellings that
// differ only in letter case are one member.
QString teamMemberIdentity(const QString &memberName);

// One teammate's token usage on the repository of a local project.
struct TeamProjectUsageMember
{
    QString memberName;
    TeamProjectUsagePayload usage;
    Timestamp serverUpdatedAt;
    bool isConnected = true;

    QString id() const { return teamMemberIdentity(memberName); }

    friend bool operator==(const TeamProjectUsageMember &, const TeamProjectUsageMember &) =
        default;
};

size_t qHash(const TeamProjectUsageMember &member, size_t seed = 0) noexcept;

} // namespace tolvaran
