#pragma once

#include <QString>

namespace tolvaran {

// The folder of our own files: $XDG_DATA_HOME/Tolvaran (~/.local/share/Tolvaran). Stores take
// the folder as a constructor argument, defaulting to this one, so tests point them elsewhere.
// The folder is made 0700 by whichever store writes first (ensureApplicationSupportDirectory).
QString defaultApplicationSupportDirectory();

// Creates `directory` 0700 when missing and returns whether it exists afterwards.
bool ensureApplicationSupportDirectory(const QString &directory);

} // namespace tolvaran
