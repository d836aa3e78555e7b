#pragma once

namespace tolvaran {

class CodexGlobalStateStore;
class CodexStore;
class ProjectCatalogStore;
class ProjectMetadataCache;
class ProjectRepositoryStore;
class ProjectTagStore;
class TeamWorkspaceService;
class TokenUsageStore;

// The stores and services the project list uses, as the composition root (AppServices) hands
// them over. Each must outlive the coordinator: its destructor stops its jobs and waits for
// them, and they use these.
struct ProjectListStores
{
    TeamWorkspaceService &teamService;
    CodexStore &codexStore;
    CodexGlobalStateStore &globalStateStore;
    ProjectRepositoryStore &repositoryStore;
    ProjectMetadataCache &metadataCache;
    ProjectCatalogStore &projectCatalogStore;
    ProjectTagStore &projectTagStore;
    TokenUsageStore &tokenUsageStore;
};

} // namespace tolvaran
