#include "app/AppServices.h"

#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/git/ProjectMetadataCache.h"
#include "data/git/ProjectRepositoryStore.h"
#include "data/catalog/ProjectTagStore.h"
#include "data/token_usage/TokenUsageStore.h"
#include "platform/storage/KeyValueStore.h"
#include "platform/Paths.h"
#include "team/TeamWorkspaceStore.h"
#include "update/AppUpdateService.h"

namespace tolvaran {

AppServices::AppServices()
    : m_codexFiles(codexHomeDirectory())
    , m_defaults(std::make_unique<KeyValueStore>(KeyValueStore::defaultFilePath()))
    , m_metadataCache(std::make_unique<ProjectMetadataCache>())
    , m_teamWorkspace(std::make_unique<TeamWorkspaceStore>(*m_defaults, *m_metadataCache))
    , m_codexStore(std::make_unique<CodexStore>(
          m_codexFiles.databasePath(), m_codexFiles.sessionIndexPath(),
          CodexTurnLiveness::forCodexHome(m_codexFiles.folder())))
    , m_globalStateStore(std::make_unique<CodexGlobalStateStore>(m_codexFiles.globalStatePath()))
    , m_repositoryStore(std::make_unique<ProjectRepositoryStore>())
    , m_projectCatalogStore(std::make_unique<ProjectCatalogStore>())
    , m_projectTagStore(std::make_unique<ProjectTagStore>(*m_defaults))
    , m_tokenUsageStore(std::make_unique<TokenUsageStore>())
    , m_updater(std::make_unique<AppUpdateService>())
{
}

AppServices::~AppServices() = default;

TeamWorkspaceService &AppServices::teamWorkspace() const
{
    return *m_teamWorkspace;
}

const TeamProjectViewSource &AppServices::teamViewSource() const
{
    return *m_teamWorkspace;
}

ProjectListStores AppServices::projectListStores() const
{
    return {*m_teamWorkspace,       *m_codexStore,      *m_globalStateStore,
            *m_repositoryStore,     *m_metadataCache,   *m_projectCatalogStore,
            *m_projectTagStore,     *m_tokenUsageStore};
}

} // namespace tolvaran
