#include "team/presence/TeamOverlap.h"

#include <QSet>

#include <algorithm>

namespace tolvaran {

TeamOverlap teamOverlap(const SharedProjectState &peerProject, bool peerIsConnected,
                        const SharedProjectState &localState)
{
    TeamOverlap overlap;
    const QSet<QString> local(localState.changedFiles.cbegin(), localState.changedFiles.cend());
    for (const QString &file : peerProject.changedFiles) {
        if (local.contains(file))
            overlap.overlappingFiles.append(file);
    }
    std::sort(overlap.overlappingFiles.begin(), overlap.overlappingFiles.end());
    overlap.overlappingFiles.erase(
        std::unique(overlap.overlappingFiles.begin(), overlap.overlappingFiles.end()),
        overlap.overlappingFiles.end());

    const bool sameBranch = localState.branch && peerProject.branch
        && *localState.branch == *peerProject.branch;
    if (!overlap.overlappingFiles.isEmpty()) {
        const bool headsDiffer = localState.headSha && peerProject.headSha
            && *localState.headSha != *peerProject.headSha;
        overlap.conflictLevel =
            sameBranch && headsDiffer ? TeamConflictLevel::critical : TeamConflictLevel::high;
    } else if (sameBranch || localState.isCodexProcessing
               || (peerIsConnected && peerProject.isCodexProcessing)) {
        overlap.conflictLevel = TeamConflictLevel::caution;
    }
    return overlap;
}

} // namespace tolvaran
