#include "team/TeamWorkspace.h"

#include "data/git/ProjectRepositoryStore.h"
#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamSettingsStore.h"
#include "team/presence/WorkSummaryGenerator.h"

namespace tolvaran {

TeamWorkspace::TeamWorkspace(const QString &id, std::unique_ptr<TeamSettingsStore> settings,
                             ProjectMetadataCache &metadataCache, TeamClock &clock)
    : m_id(id)
    , m_settings(std::move(settings))
    , m_repositoryStore(std::make_unique<ProjectRepositoryStore>())
    , m_workSummaryGenerator(std::make_unique<WorkSummaryGenerator>())
    , m_service(std::make_unique<TeamPresenceService>(*m_settings, *m_repositoryStore,
                                                      metadataCache, *m_workSummaryGenerator,
                                                      clock))
{
}

TeamWorkspace::~TeamWorkspace() = default;

} // namespace tolvaran
