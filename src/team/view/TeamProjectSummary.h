#pragma once

#include "team/view/TeamConflictLevel.h"
#include "team/view/TeamProjectPeer.h"

#include <QList>
#include <QString>

#include <optional>

namespace tolvaran {

// The teammates on the repository of one local project, in the order the snapshot listed
// them. The derived values are computed on every read; nothing is cached.
struct TeamProjectSummary
{
    QList<TeamProjectPeer> peers;

    // The highest level among the peers; awareness without peers.
    TeamConflictLevel conflictLevel() const;
    // The member names in list order joined with ", ", repeated names as often as they occur.
    QString peerNames() const;
    // The peer to show first: the highest level, then a connected one, then the latest
    // update; among full ties the earliest in the list. None without peers.
    std::optional<TeamProjectPeer> primaryPeer() const;

    friend bool operator==(const TeamProjectSummary &, const TeamProjectSummary &) = default;
};

size_t qHash(const TeamProjectSummary &summary, size_t seed = 0) noexcept;

} // namespace tolvaran
