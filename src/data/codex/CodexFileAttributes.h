#pragma once

#include "platform/Timestamp.h"

#include <QString>

#include <optional>

namespace tolvaran::Internal {

// What the readers of Codex's files ask the file system about one file: its size and its last
// modification. The time is kept to the nanosecond, so two changes within one millisecond
// still differ for the caches keyed on it.
struct CodexFileAttributes
{
    quint64 size = 0;
    qint64 modificationNanoseconds = 0; // since 1970

    Timestamp modificationDate() const
    {
        return Timestamp::fromSeconds(double(modificationNanoseconds) / 1e9);
    }

    friend bool operator==(const CodexFileAttributes &, const CodexFileAttributes &) = default;
};

// The attributes of the regular file at `path` (symbolic links followed), or nothing when the
// file is missing, cannot be queried or is not a regular file.
std::optional<CodexFileAttributes> codexFileAttributes(const QString &path);

} // namespace tolvaran::Internal
