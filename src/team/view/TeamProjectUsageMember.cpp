#include "team/view/TeamProjectUsageMember.h"

namespace tolvaran {

QString teamMemberIdentity(const QString &memberName)
{
    return memberName.toLower();
}

size_t qHash(const TeamProjectUsageMember &member, size_t seed) noexcept
{
    return qHashMulti(seed, member.memberName, member.usage, member.serverUpdatedAt,
                      member.isConnected);
}

} // namespace tolvaran
