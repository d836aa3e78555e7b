#include "app/TolvaranApp.h"

#include "app/TolvaranWindow.h"
#include "coordinator/ProjectListViewModel.h"
#include "data/CodexGlobalStateStore.h"
#include "data/CodexStore.h"
#include "data/NullTeamWorkspace.h"
#include "data/ProjectCatalogStore.h"
#include "data/ProjectMetadataCache.h"
#include "data/ProjectRepositoryStore.h"
#include "data/ProjectTagStore.h"
#include "data/TokenUsageStore.h"
#include "platform/KeyValueStore.h"
#include "platform/Paths.h"

namespace tolvaran {

TolvaranApp::TolvaranApp()
    : m_defaults(std::make_unique<KeyValueStore>(KeyValueStore::defaultFilePath()))
    , m_metadataCache(std::make_unique<ProjectMetadataCache>())
    , m_teamWorkspace(std::make_unique<NullTeamWorkspace>())
    , m_detailRepositoryStore(std::make_unique<ProjectRepositoryStore>())
{
    const QString codexHome = codexHomeDirectory();
    m_viewModel = std::make_unique<ProjectListViewModel>(
        *m_teamWorkspace,
        std::make_unique<CodexStore>(codexHome + QStringLiteral("/state_5.sqlite"),
                                     codexHome + QStringLiteral("/session_index.jsonl")),
        std::make_unique<CodexGlobalStateStore>(codexHome
                                                + QStringLiteral("/.codex-global-state.json")),
        std::make_unique<ProjectRepositoryStore>(), *m_metadataCache,
        std::make_unique<ProjectCatalogStore>(), std::make_unique<ProjectTagStore>(*m_defaults),
        std::make_unique<TokenUsageStore>());
    m_window = std::make_unique<TolvaranWindow>(
        *m_viewModel, *m_teamWorkspace,
        [model = m_viewModel.get(), store = m_detailRepositoryStore.get()](
            const CodexProject &project) {
            return std::make_unique<ProjectDetailViewModel>(
                project, *model, ProjectDetailViewModel::repositoryLoader(*store));
        });
}

TolvaranApp::~TolvaranApp() = default;

} // namespace tolvaran
