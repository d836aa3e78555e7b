#pragma once

#include <QString>

#include <memory>

namespace tolvaran {

class ProjectMetadataCache;
class ProjectRepositoryStore;
class TeamClock;
class TeamPresenceService;
class TeamSettingsStore;
class WorkSummaryGenerator;

// One team profile of this installation: its settings and secrets, and the service that works
// for it. Each team owns its repository store (and so its own cache of origin remotes) and its
// work summary generator; only the metadata cache is shared between teams. Building one
// starts nothing. GUI thread only.
class TeamWorkspace final
{
public:
    // Takes over the opened `settings` of the profile `id`.
    TeamWorkspace(const QString &id, std::unique_ptr<TeamSettingsStore> settings,
                  ProjectMetadataCache &metadataCache, TeamClock &clock);
    ~TeamWorkspace();
    TeamWorkspace(const TeamWorkspace &) = delete;
    TeamWorkspace &operator=(const TeamWorkspace &) = delete;

    // "legacy" for the first profile, else a lower-case UUID.
    const QString &id() const { return m_id; }
    TeamSettingsStore &settings() const { return *m_settings; }
    TeamPresenceService &service() const { return *m_service; }

private:
    QString m_id;
    // The service uses the others, so it is declared last and destroyed first.
    std::unique_ptr<TeamSettingsStore> m_settings;
    std::unique_ptr<ProjectRepositoryStore> m_repositoryStore;
    std::unique_ptr<WorkSummaryGenerator> m_workSummaryGenerator;
    std::unique_ptr<TeamPresenceService> m_service;
};

} // namespace tolvaran
