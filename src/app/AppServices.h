#pragma once

#include "coordinator/ProjectListStores.h"
#include "data/codex/CodexFileLayout.h"

#include <memory>

namespace tolvaran {

class CodexGlobalStateStore;
class CodexStore;
class KeyValueStore;
class ProjectCatalogStore;
class ProjectMetadataCache;
class ProjectRepositoryStore;
class ProjectTagStore;
class TeamProjectViewSource;
class TeamWorkspaceService;
class TeamWorkspaceStore;
class TokenUsageStore;
class AppUpdateService;

// The composition root: every store and service of the program, made once per run and kept
// until it ends, the updater among them. Screen models (the project list now; the project
// details and the team screens later) receive from here what they use, as references, and
// never own a store; so two screens share one catalog, one token index and one team
// workspace, and a store outlives every model and job that uses it.
//
// Constructing it opens no database and starts no monitor, job or connection: the stores do
// that on first use. Only the team workspace reads at once, its profiles from the user
// defaults (the window's launch work starts their connections).
class AppServices final
{
public:
    // Over the user's own Codex folder, program folder and user defaults.
    AppServices();
    ~AppServices();
    AppServices(const AppServices &) = delete;
    AppServices &operator=(const AppServices &) = delete;

    const CodexFileLayout &codexFiles() const { return m_codexFiles; }
    KeyValueStore &defaults() const { return *m_defaults; }
    ProjectMetadataCache &metadataCache() const { return *m_metadataCache; }
    // Every team profile; the coordinator and the browser see it as the two interfaces below.
    TeamWorkspaceStore &teamWorkspaceStore() const { return *m_teamWorkspace; }
    TeamWorkspaceService &teamWorkspace() const;
    // Where the browser and the detail pane read teammates and shared state.
    const TeamProjectViewSource &teamViewSource() const;
    CodexStore &codexStore() const { return *m_codexStore; }
    CodexGlobalStateStore &globalStateStore() const { return *m_globalStateStore; }
    ProjectRepositoryStore &repositoryStore() const { return *m_repositoryStore; }
    ProjectCatalogStore &projectCatalogStore() const { return *m_projectCatalogStore; }
    ProjectTagStore &projectTagStore() const { return *m_projectTagStore; }
    TokenUsageStore &tokenUsageStore() const { return *m_tokenUsageStore; }
    // The updater: its checks start with the window's launch work.
    AppUpdateService &updater() const { return *m_updater; }

    // What the project list uses.
    ProjectListStores projectListStores() const;

private:
    // In order of construction; destroyed in reverse.
    CodexFileLayout m_codexFiles;
    std::unique_ptr<KeyValueStore> m_defaults;
    std::unique_ptr<ProjectMetadataCache> m_metadataCache;
    std::unique_ptr<TeamWorkspaceStore> m_teamWorkspace;
    std::unique_ptr<CodexStore> m_codexStore;
    std::unique_ptr<CodexGlobalStateStore> m_globalStateStore;
    std::unique_ptr<ProjectRepositoryStore> m_repositoryStore;
    std::unique_ptr<ProjectCatalogStore> m_projectCatalogStore;
    std::unique_ptr<ProjectTagStore> m_projectTagStore;
    std::unique_ptr<TokenUsageStore> m_tokenUsageStore;
    std::unique_ptr<AppUpdateService> m_updater;
};

} // namespace tolvaran
