#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tolvaran {

// What one read of Codex's global-state file yields for a full refresh. Paths are standardised
// folder paths.
struct CodexGlobalStateSnapshot
{
    QSet<QString> pinnedProjectPaths;
    QSet<QString> unreadThreadIDs;
    QHash<QString, QString> projectNamesByID;       // trimmed, non-empty names only
    QHash<QString, QStringList> projectIDsByPath;   // root path to project ids, ascending

    friend bool operator==(const CodexGlobalStateSnapshot &,
                           const CodexGlobalStateSnapshot &) = default;
};

} // namespace tolvaran
