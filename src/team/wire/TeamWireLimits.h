#pragma once

#include <QtGlobal>

namespace tolvaran {

// The bounds every message from the team server is read within. A message beyond one of
// them is refused whole (and logged) before it can take memory without bound; they sit far
// above what a real team sends (the benchmark's 50 members with 200 repositories each is a
// few megabytes and a few hundred thousand values).
namespace TeamWireLimits {

// Bytes of one message or response body.
inline constexpr qsizetype maxMessageBytes = 32 * 1024 * 1024;
// Objects and arrays open at once; a snapshot needs six levels.
inline constexpr int maxNestingDepth = 32;
// JSON values of every kind in one message, unknown members included.
inline constexpr qint64 maxValues = 2'000'000;
// Entries of a snapshot's member list, and of its security status's installations.
inline constexpr qsizetype maxMembers = 1'000;
// Entries of a snapshot's recent commits.
inline constexpr qsizetype maxRecentCommits = 10'000;
// Repositories one member publishes.
inline constexpr qsizetype maxProjectsPerMember = 5'000;

} // namespace TeamWireLimits
} // namespace tolvaran
