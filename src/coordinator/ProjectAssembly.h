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
    // catalog's own projects, latest activity first. Projects equal to one of `previous` (the
    // projects shown) are that one. Never throws: failures are in the result.
    static FullRefresh readFullRefresh(const CodexStore &store,
                                       const CodexGlobalStateStore &globalStateStore,
                                       ProjectCatalogStore &catalog, bool includeArchived,
                                       double activeWindowSeconds,
                                       const QList<CodexProject> &previous = {});

    // Codex's threads (archived ones only with `includeArchived`) as projects, one per folder
    // (grouped by the folder's standard form), latest activity first. A project equal to the
    // one of `previous` with its path is that one, its threads not copied again: a refresh
    // that finds little changed then holds one copy of the projects, not two, and they compare
    // equal at a glance.
    static QList<CodexProject> projectsFromThreads(const QList<CodexThread> &threads,
                                                   bool includeArchived,
                                                   const CodexGlobalStateSnapshot &snapshot,
                                                   const QSet<QString> &processingThreadIDs,
                                                   const QList<CodexProject> &previous = {});
    // Latest activity first; stable.
    static void sortByLastUpdated(QList<CodexProject> &projects);
    // What the team workspace is told of one project; reads the processing thread's rollout.
    static LocalTeamProjectSource teamProjectSource(const CodexProject &project,
                                                    CodexActivityStore &activityStore);
};

} // namespace tolvaran
