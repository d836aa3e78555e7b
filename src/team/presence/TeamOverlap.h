#pragma once

#include "data/git/SharedProjectState.h"
#include "team/view/TeamConflictLevel.h"

#include <QStringList>

namespace tolvaran {

// How a teammate's project overlaps with the local state of the same repository.
struct TeamOverlap
{
    // In both changed-file lists, distinct, sorted by plain string order. The paths are the
    // teammate's text compared as it is: never cleaned, resolved or opened.
    QStringList overlappingFiles;
    TeamConflictLevel conflictLevel = TeamConflictLevel::awareness;

    friend bool operator==(const TeamOverlap &, const TeamOverlap &) = default;
};

// critical: shared changed files on the same branch with two different heads; high: shared
// changed files otherwise; caution: the same branch, Codex at work here, or Codex at work on a
// connected teammate's side; awareness: none of these.
TeamOverlap teamOverlap(const SharedProjectState &peerProject, bool peerIsConnected,
                        const SharedProjectState &localState);

} // namespace tolvaran
