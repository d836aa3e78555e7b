#include "team/view/TeamProjectSummary.h"

#include <QStringList>

#include <algorithm>

namespace tolvaran {

namespace {

// Whether `candidate` is shown before `current`: a strict order, so a full tie keeps the
// earlier peer.
bool ranksAbove(const TeamProjectPeer &candidate, const TeamProjectPeer &current)
{
    if (candidate.conflictLevel != current.conflictLevel)
        return candidate.conflictLevel > current.conflictLevel;
    if (candidate.isConnected != current.isConnected)
        return candidate.isConnected;
    return candidate.serverUpdatedAt > current.serverUpdatedAt;
}

} // namespace

TeamConflictLevel TeamProjectSummary::conflictLevel() const
{
    TeamConflictLevel level = TeamConflictLevel::awareness;
    for (const TeamProjectPeer &peer : peers)
        level = std::max(level, peer.conflictLevel);
    return level;
}

QString TeamProjectSummary::peerNames() const
{
    QStringList names;
    names.reserve(peers.size());
    for (const TeamProjectPeer &peer : peers)
        names.append(peer.memberName);
    return names.join(QStringLiteral(", "));
}

std::optional<TeamProjectPeer> TeamProjectSummary::primaryPeer() const
{
    if (peers.isEmpty())
        return std::nullopt;
    const TeamProjectPeer *choice = &peers.first();
    for (const TeamProjectPeer &peer : peers) {
        if (ranksAbove(peer, *choice))
            choice = &peer;
    }
    return *choice;
}

size_t qHash(const TeamProjectSummary &summary, size_t seed) noexcept
{
    return qHashMulti(seed, summary.peers.size(),
                      qHashRange(summary.peers.cbegin(), summary.peers.cend()));
}

} // namespace tolvaran
