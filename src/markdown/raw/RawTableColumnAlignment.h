#pragma once

#include <QChar>
#include <QHashFunctions>

#include <optional>

namespace tolvaran::markdown {

// The alignment of one table column. The raw values are the bytes that the table syntax
// stores per column: NUL for a column without alignment colons, then "l", "c" and "r".
enum class RawTableColumnAlignment { none, left, center, right };

QChar rawValue(RawTableColumnAlignment alignment);

// Absent for any character that is not one of the four raw values.
std::optional<RawTableColumnAlignment> rawTableColumnAlignmentFromRawValue(QChar raw);

inline size_t qHash(RawTableColumnAlignment alignment, size_t seed = 0) noexcept
{
    return ::qHash(rawValue(alignment), seed);
}

} // namespace tolvaran::markdown
