#pragma once

#include "data/CodexGlobalStateSnapshot.h"
#include "data/CodexProject.h"
#include "data/CodexThread.h"
#include "data/LocalTeamProjectSource.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace tolvaran {

class CodexActivityStore;
class CodexGlobalStateStore;
class CodexStore;
class ProjectCatalogStore;

// How the project list is put together from Codex's records and the program's catalog: pure
// functions and the one read a full refresh makes, run on a background job.
class ProjectAssembly final
{
public:
    // What a full refresh read.
    struct FullRefresh
    {
        QList<CodexProject> projects;
        QList<CodexThread> allThreads; // archived ones included, for the token-usage index
        std::optional<QString> catalogMessage; // the catalog could not be brought up to date
        std::optional<QString> error;          // Codex's data could not be read
    };

    // Codex's threads (archived ones only with `includeArchived`), its global state and the
    // processing state of the threads updated within `activeWindowSeconds`, joined with the
    // catalog's own projects, latest activity first. Never throws: failures are in the result.
    static FullRefresh readFullRefresh(const CodexStore &store,
                                       const CodexGlobalStateStore &globalStateStore,
                                       ProjectCatalogStore &catalog, bool includeArchived,
                                       double activeWindowSeconds);

    // Codex's threads as projects, one per folder (grouped by the folder's standard form),
    // latest activity first.
    static QList<CodexProject> projectsFromThreads(const QList<CodexThread> &threads,
                                                   const CodexGlobalStateSnapshot &snapshot,
                                                   const QSet<QString> &processingThreadIDs);
    // Latest activity first; stable.
    static void sortByLastUpdated(QList<CodexProject> &projects);
    // What the team workspace is told of one project; reads the processing thread's rollout.
    static LocalTeamProjectSource teamProjectSource(const CodexProject &project,
                                                    CodexActivityStore &activityStore);
};

} // namespace tolvaran
