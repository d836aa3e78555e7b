#pragma once

#include "data/codex/CodexGlobalStateSnapshot.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace tolvaran {

// Codex's own projects as its thread database keeps them (the "projects" and "project_roots"
// tables of newer versions): the names Codex gave them and the folders they cover. The
// command-line tool keeps its project names only here; the global-state file that the
// desktop application writes may name the same projects too, and its names win.
struct CodexProjectRecords
{
    QHash<QString, QString> namesByID;     // trimmed, non-empty names only
    QHash<QString, QStringList> projectIDsByPath; // standardised root path to ids, ascending

    // Adds to `snapshot` what it lacks: a name for each project id it has none for, and the
    // project ids of each folder it lists no project for. What the snapshot has stays.
    void fillGapsOf(CodexGlobalStateSnapshot &snapshot) const;

    friend bool operator==(const CodexProjectRecords &, const CodexProjectRecords &) = default;
};

} // namespace tolvaran
