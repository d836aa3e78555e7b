#pragma once

#include "coordinator/ProjectListStores.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/git/ProjectRepositoryStore.h"
#include "data/catalog/ProjectTagStore.h"
#include "data/token_usage/TokenUsageStore.h"

#include <QString>

namespace tolvaran::fixtures {

class FakeCodexHome;

// The stores a test world hands the coordinator, over a fake Codex folder and the program's
// folder of a temporary home, as the application's composition root holds them. Declare it
// before the coordinator, which must not outlive it.
struct StoreSet
{
    // `gitExecutable` empty for the real git; `indexTokens` false gives the token index no
    // location, so that it reads nothing.
    StoreSet(const FakeCodexHome &codex, const QString &supportDirectory,
             KeyValueStore &defaults, const QString &gitExecutable = {},
             bool indexTokens = true);

    // These stores beside the caller's team service and metadata cache, as the coordinator
    // takes them.
    ProjectListStores listStores(TeamWorkspaceService &team, ProjectMetadataCache &cache);

    CodexStore codexStore;
    CodexGlobalStateStore globalStateStore;
    ProjectRepositoryStore repositoryStore;
    ProjectCatalogStore projectCatalogStore;
    ProjectTagStore projectTagStore;
    TokenUsageStore tokenUsageStore;
};

} // namespace tolvaran::fixtures
