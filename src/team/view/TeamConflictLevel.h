#pragma once

#include <QHashFunctions>

#include <optional>

namespace tolvaran {

// How far a teammate's work on a repository overlaps with the local work, in rising order.
// Levels compare by their raw values; the level is never coded to JSON.
enum class TeamConflictLevel : int {
    awareness = 0, // a teammate is on the repository, without shared changed files
    caution = 1,   // same branch or Codex at work, no changed files shared yet
    high = 2,      // changed file paths overlap
    critical = 3,  // the highest overlap level
};

// The level with that raw value; none for any integer outside 0...3.
std::optional<TeamConflictLevel> teamConflictLevelFromRawValue(int rawValue);

inline size_t qHash(TeamConflictLevel level, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(level), seed);
}

} // namespace tolvaran
