#pragma once

#include <QString>

#include <optional>

namespace tolvaran {

// The small private files that hold a team's secrets: written atomically, the file 0600 from
// the moment it exists and its folder 0700; read back as trimmed UTF-8 text.
//
// A write goes through a temporary copy beside the file (".<name>.<16 hex digits>.tmp"), which
// a writer killed in the middle leaves behind: a copy of the secret that nothing else would
// ever remove. Writing and removing a secret remove those stale copies, and so does
// removeStaleCopies, which the settings call when they open a profile.
class TeamSecretFile final
{
public:
    // Writes `secret` to `filePath`, creating its folder and any missing parents 0700 and
    // tightening an existing folder to 0700, and removes the stale copies beside it. Returns
    // false on any failure; the target then holds its old content (or is still absent) and
    // no temporary file of this write is left behind.
    static bool write(const QString &filePath, const QString &secret);

    // The trimmed content, or nothing when the file is missing, unreadable, not UTF-8 text or
    // blank.
    static std::optional<QString> read(const QString &filePath);

    // Deletes the file and the stale copies beside it; returns whether the file is gone.
    static bool remove(const QString &filePath);

    // Deletes the copies of `filePath` that killed writers left; the copy of a write still
    // going on (in this process or another) stays.
    static void removeStaleCopies(const QString &filePath);
};

} // namespace tolvaran
