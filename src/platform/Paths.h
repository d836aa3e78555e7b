#pragma once

#include <QString>

namespace tolvaran {

// The standard form of a folder path: an absolute path with "." and ".." resolved and no
// trailing slash ("/" stays "/"). A relative or empty path is returned as it is.
QString standardizedPath(const QString &path);

// The last component of a file path, ignoring trailing slashes; "/" for the root folder.
QString lastPathComponent(const QString &path);

// The user's home folder.
QString homeDirectory();

// Codex's own folder: $CODEX_HOME when set (as Codex itself does), else ~/.codex.
QString codexHomeDirectory();

// Creates `path` and any missing parents with mode 0700 and returns whether it exists as a
// folder afterwards. An existing folder keeps its mode.
bool makePrivateDirectory(const QString &path);

} // namespace tolvaran
