#pragma once

#include <QString>

#include <optional>

namespace tolvaran {

// The small private files that hold a team's secrets: written atomically, the file 0600 from
// the moment it exists and its folder 0700; read back as trimmed UTF-8 text.
class TeamSecretFile final
{
public:
    // Writes `secret` to `filePath`, creating its folder and any missing parents 0700 and
    // tightening an existing folder to 0700. Returns false on any failure; the target then
    // holds its old content (or is still absent) and no temporary file is left behind.
    static bool write(const QString &filePath, const QString &secret);

    // The trimmed content, or nothing when the file is missing, unreadable, not UTF-8 text or
    // blank.
    static std::optional<QString> read(const QString &filePath);

    // Deletes the file; returns whether it is gone.
    static bool remove(const QString &filePath);
};

} // namespace tolvaran
