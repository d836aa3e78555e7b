#include "app/window/CommitBannerText.h"

#include "platform/Graphemes.h"

namespace tolvaran {

std::optional<CommitBannerText> CommitBannerText::forNotifications(
    const QList<TeamCommitEvent> &notifications)
{
    if (notifications.isEmpty())
        return std::nullopt;
    const TeamCommitEvent &newest = notifications.first();
    return CommitBannerText{
        newest.memberName + QStringLiteral(" committed to ") + newest.repositoryName,
        newest.subject + QStringLiteral("  |  ")
            + graphemePrefix(newest.headSha, shortHashLength)};
}

} // namespace tolvaran
