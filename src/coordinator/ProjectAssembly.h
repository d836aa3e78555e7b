#pragma once

#include "data/codex/CodexActivityStore.h"
#include "data/codex/CodexGlobalStateSnapshot.h"
#include "data/catalog/CodexProject.h"
#include "data/codex/CodexThread.h"
#include "data/git/LocalTeamProjectSource.h"
#include "platform/Timestamp.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace tolvaran {

class CodexGlobalStateStore;
class CodexStore;
class ProjectCatalogStore;

// How the project list is put together from Codex's records and the program's catalog: pure
// functions and the one read a full refresh makes, run on a background job.
class ProjectAssembly final
{
public:
    // What the catalog is to keep of a full refresh: Codex's projects as seen at
    // `observedAt`, and the latest requests read (CodexActivityStore::takeUserRequestChanges).
    struct CatalogUpdate
    {
        QList<CodexProject> codexProjects;
        Timestamp observedAt;
        CodexActivityStore::UserRequestChanges userRequests;
    };

    // What a full refresh read.
    struct FullRefresh
    {
        QList<CodexProject> projects;
        QList<CodexThread> allThreads; // archived ones included, for the token-usage index
        std::optional<QString> catalogMessage; // the catalog could not be read
        std::optional<QString> error;          // Codex's data could not be read
        CatalogUpdate catalogUpdate;
    };

    // Codex's threads (archived ones only with `includeArchived`), its global state and the
    // processing state of the threads updated within `activeWindowSeconds`, joined with the
    // projects only the catalog still knows, latest activity first. Projects equal to one of
    // `previous` (the projects shown) are that one. Reads the catalog but writes nothing to
    // it: that is writeCatalog(), once the projects are shown. Never throws: failures are in
    // the result.
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
    // Synchronises the catalog with Codex's projects and keeps the latest requests read.
    // Returns the catalog's sentence when the synchronisation failed (a failure to keep the
    // requests is only logged: the next start reads those tails again). Never throws.
    static std::optional<QString> writeCatalog(ProjectCatalogStore &catalog,
                                               const CatalogUpdate &update);

    // Latest activity first; stable.
    static void sortByLastUpdated(QList<CodexProject> &projects);
    // What the team workspace is told of one project; reads the processing thread's rollout.
    static LocalTeamProjectSource teamProjectSource(const CodexProject &project,
                                                    CodexActivityStore &activityStore);
};

} // namespace tolvaran
