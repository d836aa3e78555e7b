#pragma once

#include <QtGlobal>

#include <limits>

namespace tolvaran {

// `sum + value`, held at the largest or smallest 64-bit value instead of overflowing: counts
// read from Codex's files can be anything, and a signed overflow is undefined behaviour.
constexpr qint64 saturatingAdd(qint64 sum, qint64 value) noexcept
{
    qint64 result = 0;
    if (__builtin_add_overflow(sum, value, &result))
        return value > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return result;
}

} // namespace tolvaran
