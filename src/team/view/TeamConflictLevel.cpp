#include "team/view/TeamConflictLevel.h"

namespace tolvaran {

std::optional<TeamConflictLevel> teamConflictLevelFromRawValue(int rawValue)
{
    if (rawValue < static_cast<int>(TeamConflictLevel::awareness)
        || rawValue > static_cast<int>(TeamConflictLevel::critical))
        return std::nullopt;
    return static_cast<TeamConflictLevel>(rawValue);
}

} // namespace tolvaran
