#include "data/codex/CodexProjectRecords.h"

namespace tolvaran {

void CodexProjectRecords::fillGapsOf(CodexGlobalStateSnapshot &snapshot) const
{
    for (auto it = namesByID.cbegin(); it != namesByID.cend(); ++it) {
        if (!snapshot.projectNamesByID.contains(it.key()))
            snapshot.projectNamesByID.insert(it.key(), it.value());
    }
    for (auto it = projectIDsByPath.cbegin(); it != projectIDsByPath.cend(); ++it) {
        if (snapshot.projectIDsByPath.value(it.key()).isEmpty())
            snapshot.projectIDsByPath.insert(it.key(), it.value());
    }
}

} // namespace tolvaran
