// The local side of the presence service: the coordinator's project list, the placeholders
// that name its repositories before any scan, the scans and the commits they reveal.

#include "team/TeamPresenceService.h"

#include "data/ProjectMetadataCache.h"
#include "data/ProjectRepositoryStore.h"

namespace tolvaran {

namespace {

bool isActive(const SharedProjectState &state)
{
    return state.isDirty || state.isCodexProcessing;
}

// Identity only: who the project is on the team, clean until a scan says otherwise.
QHash<QString, SharedProjectState> projectPlaceholders(
    const QList<LocalTeamProjectSource> &sources)
{
    QHash<QString, SharedProjectState> placeholders;
    for (const LocalTeamProjectSource &source : sources) {
        if (!source.gitOriginURL)
            continue;
        const std::optional<QString> remote =
            ProjectRepositoryStore::normalizedRemote(*source.gitOriginURL);
        if (!remote)
            continue;
        const std::optional<RepositoryIdentity> identity =
            ProjectRepositoryStore::repositoryIdentity(*remote);
        if (!identity)
            continue;
        SharedProjectState placeholder;
        placeholder.repositoryId = identity->id;
        placeholder.repositoryName = identity->name;
        placeholder.isCodexProcessing = source.isCodexProcessing;
        placeholders.insert(source.path, placeholder);
    }
    return placeholders;
}

QSet<QString> pathsOf(const QList<LocalTeamProjectSource> &sources)
{
    QSet<QString> paths;
    for (const LocalTeamProjectSource &source : sources)
        paths.insert(source.path);
    return paths;
}

} // namespace

std::optional<SharedProjectState> TeamPresenceService::localActivity(const QString &path) const
{
    const auto found = m_values.localActivityByPath().constFind(path);
    if (found == m_values.localActivityByPath().cend() || !isActive(*found))
        return std::nullopt;
    return *found;
}

void TeamPresenceService::updateProjects(const QList<LocalTeamProjectSource> &sources)
{
    if (sources == m_sources)
        return;
    m_sources = sources;
    const QSet<QString> paths = pathsOf(sources);
    QHash<QString, LocalTeamProjectState> states = m_metadataCache.teamStates();
    for (auto it = states.begin(); it != states.end();)
        it = paths.contains(it.key()) ? std::next(it) : states.erase(it);
    m_localProjectStatesByPath = std::move(states);

    // Hashing every remote is kept off the GUI thread. Jobs of successive lists may overlap;
    // only the one whose list is still current installs its result.
    m_work.run<QHash<QString, SharedProjectState>>(
        JobPriority::userInitiated,
        [sources](const WorkContext &) { return projectPlaceholders(sources); },
        [this, sources](QHash<QString, SharedProjectState> placeholders) {
            if (sources != m_sources)
                return;
            applyProjectPlaceholders(placeholders, sources);
            sendPresence(false);
        });
}

void TeamPresenceService::applyProjectPlaceholders(
    const QHash<QString, SharedProjectState> &placeholders,
    const QList<LocalTeamProjectSource> &sources)
{
    m_repositoryPlaceholdersByPath = placeholders;
    QHash<QString, const LocalTeamProjectSource *> sourcesByPath;
    for (const LocalTeamProjectSource &source : sources)
        sourcesByPath.insert(source.path, &source);
    // Codex starting or finishing shows at once, without waiting for a scan.
    auto &states = m_localProjectStatesByPath;
    for (auto it = states.begin(); it != states.end();) {
        const LocalTeamProjectSource *source = sourcesByPath.value(it.key());
        if (!source) {
            it = states.erase(it);
            continue;
        }
        it->shared.isCodexProcessing = source->isCodexProcessing;
        ++it;
    }
    updatePublishedLocalActivity();
    if (m_latestSnapshot)
        applySnapshot(*m_latestSnapshot);
}

} // namespace tolvaran
