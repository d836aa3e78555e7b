#pragma once

#include "team_interface/TeamCommitEvent.h"

#include <QList>
#include <QString>

#include <optional>

namespace tolvaran {

// The two lines of the banner that announces a teammate's commit.
struct CommitBannerText
{
    // The subtitle shows this many characters of the head commit's hash.
    static constexpr qsizetype shortHashLength = 7;

    QString title;    // "Ana committed to tolvaran"
    QString subtitle; // "Fix the footer  |  1a2b3c4"

    friend bool operator==(const CommitBannerText &, const CommitBannerText &) = default;

    // The banner for the first of `notifications` (the newest, as the team workspace orders
    // them); none when there is none and the banner is hidden.
    static std::optional<CommitBannerText> forNotifications(
        const QList<TeamCommitEvent> &notifications);
};

} // namespace tolvaran
