#include "team/view/TeamProjectPeer.h"

namespace tolvaran {

size_t qHash(const TeamProjectPeer &peer, size_t seed) noexcept
{
    return qHashMulti(seed, peer.deviceId, peer.memberName, peer.project,
                      peer.overlappingFiles, peer.conflictLevel, peer.serverUpdatedAt,
                      peer.isConnected);
}

} // namespace tolvaran
