#include "support/StoreSet.h"

#include "support/codex/FakeCodexHome.h"

namespace tolvaran::fixtures {

StoreSet::StoreSet(const FakeCodexHome &codex, const QString &supportDirectory,
                   KeyValueStore &defaults, const QString &gitExecutable, bool indexTokens)
    : codexStore(codex.databasePath(), codex.sessionIndexPath(),
                 CodexTurnLiveness::forCodexHome(codex.path()))
    , globalStateStore(codex.globalStatePath())
    , repositoryStore(gitExecutable)
    , projectCatalogStore(supportDirectory)
    , projectTagStore(defaults)
    , tokenUsageStore(indexTokens ? supportDirectory : QString())
{
}

ProjectListStores StoreSet::listStores(TeamWorkspaceService &team, ProjectMetadataCache &cache)
{
    return ProjectListStores{team, codexStore, globalStateStore, repositoryStore, cache,
                             projectCatalogStore, projectTagStore, tokenUsageStore};
}

} // namespace tolvaran::fixtures
