#include "team/presence/TeamLocalProjects.h"

#include "data/git/ProjectMetadataCache.h"
#include "data/git/ProjectRepositoryStore.h"
#include "team/TeamLogging.h"
#include "team/presence/TeamPresenceRules.h"
#include "team/presence/WorkSummaryScheduler.h"
#include "team/server/TeamSettingsStore.h"

#include <QUuid>

#include <algorithm>

namespace tolvaran {

namespace {

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

QHash<QString, LocalTeamProjectSource> sourcesByPathOf(
    const QList<LocalTeamProjectSource> &sources)
{
    QHash<QString, LocalTeamProjectSource> byPath;
    for (const LocalTeamProjectSource &source : sources)
        byPath.insert(source.path, source);
    return byPath;
}

QSet<QString> pathsOf(const QList<LocalTeamProjectSource> &sources)
{
    QSet<QString> paths;
    for (const LocalTeamProjectSource &source : sources)
        paths.insert(source.path);
    return paths;
}

} // namespace

// One project as a scan found it, beside the source it was scanned for: a result whose source
// changed meanwhile is stale.
struct TeamLocalProjects::ScannedTeamProjectState
{
    LocalTeamProjectSource source;
    std::optional<LocalTeamProjectState> state; // none: no usable repository identity
};

TeamLocalProjects::TeamLocalProjects(TeamSettingsStore &settings,
                                     ProjectRepositoryStore &repositoryStore,
                                     ProjectMetadataCache &metadataCache,
                                     WorkSummaryScheduler &workSummaries, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_repositoryStore(repositoryStore)
    , m_metadataCache(metadataCache)
    , m_workSummaries(workSummaries)
{
}

QHash<QString, SharedProjectState> TeamLocalProjects::repositoryInventoryByPath() const
{
    return TeamPresenceRules::repositoryInventory(m_placeholders, m_states);
}

void TeamLocalProjects::reset()
{
    m_placeholders.clear();
    m_states = m_metadataCache.teamStates();
    m_pendingRefreshPaths.clear();
    m_isRefreshingLocalState = false;
    ++m_scanGeneration;
    m_knownHeadsByRepository.clear();
}

const SharedProjectState *TeamLocalProjects::setWorkSummary(const QString &path,
                                                            const QString &sentence)
{
    const auto state = m_states.find(path);
    if (state == m_states.end())
        return nullptr;
    state->shared.workSummary = sentence;
    return &state->shared;
}

void TeamLocalProjects::updateProjects(const QList<LocalTeamProjectSource> &sources)
{
    if (sources == m_sources)
        return;
    m_sources = sources;
    const QSet<QString> paths = pathsOf(sources);
    QHash<QString, LocalTeamProjectState> states = m_metadataCache.teamStates();
    for (auto it = states.begin(); it != states.end();)
        it = paths.contains(it.key()) ? std::next(it) : states.erase(it);
    m_states = std::move(states);

    // Hashing every remote is kept off the GUI thread. Jobs of successive lists may overlap;
    // only the one whose list is still current installs its result.
    m_work.run<QHash<QString, SharedProjectState>>(
        JobPriority::userInitiated,
        [sources](const WorkContext &) { return projectPlaceholders(sources); },
        [this, sources](QHash<QString, SharedProjectState> placeholders) {
            if (sources != m_sources)
                return;
            applyProjectPlaceholders(placeholders, sources);
            Q_EMIT statesChanged({});
        });
}

void TeamLocalProjects::applyProjectPlaceholders(
    const QHash<QString, SharedProjectState> &placeholders,
    const QList<LocalTeamProjectSource> &sources)
{
    m_placeholders = placeholders;
    const QHash<QString, LocalTeamProjectSource> sourcesByPath = sourcesByPathOf(sources);
    // Codex starting or finishing shows at once, without waiting for a scan.
    for (auto it = m_states.begin(); it != m_states.end();) {
        const auto source = sourcesByPath.constFind(it.key());
        if (source == sourcesByPath.cend()) {
            it = m_states.erase(it);
            continue;
        }
        it->shared.isCodexProcessing = source->isCodexProcessing;
        ++it;
    }
}

void TeamLocalProjects::refreshProjects(const QSet<QString> &paths, std::function<void()> done)
{
    const auto finish = [&done] {
        if (done)
            done();
    };
    if (!m_settings.isEnabled()) {
        finish();
        return;
    }
    const QSet<QString> known = pathsOf(m_sources);
    for (const QString &path : paths) {
        if (known.contains(path))
            m_pendingRefreshPaths.insert(path);
    }
    if (m_sources.isEmpty() || m_isRefreshingLocalState) {
        finish(); // a running loop takes the new paths
        return;
    }
    m_isRefreshingLocalState = true;
    scanNextBatch(m_scanGeneration, std::move(done));
}

void TeamLocalProjects::scanNextBatch(quint64 generation, std::function<void()> done)
{
    // A reset ended this loop (and may have started another): leave the flag to that one.
    if (generation == m_scanGeneration && !m_pendingRefreshPaths.isEmpty()) {
        QSet<QString> batch;
        for (auto it = m_pendingRefreshPaths.begin();
             it != m_pendingRefreshPaths.end() && batch.size() < scanBatchSize;) {
            batch.insert(*it);
            it = m_pendingRefreshPaths.erase(it);
        }
        scanProjects(batch, generation, [this, generation, done = std::move(done)]() mutable {
            scanNextBatch(generation, std::move(done));
        });
        return;
    }
    if (generation == m_scanGeneration)
        m_isRefreshingLocalState = false;
    if (done)
        done();
}

void TeamLocalProjects::scanProjects(const QSet<QString> &paths, quint64 generation,
                                     std::function<void()> then)
{
    QList<LocalTeamProjectSource> taken;
    for (const LocalTeamProjectSource &source : std::as_const(m_sources)) {
        if (paths.contains(source.path))
            taken.append(source);
    }
    if (taken.isEmpty()) {
        then();
        return;
    }
    ProjectRepositoryStore *store = &m_repositoryStore;
    m_work.run<QList<ScannedTeamProjectState>>(
        JobPriority::background,
        [store, taken, previous = m_states](const WorkContext &context) {
            QList<ScannedTeamProjectState> scanned;
            for (const LocalTeamProjectSource &source : taken) {
                if (context.stopRequested())
                    break;
                const auto found = previous.constFind(source.path);
                std::optional<LocalTeamProjectState> previousState;
                if (found != previous.cend())
                    previousState = *found;
                scanned.append({source, store->loadTeamProjectState(source, previousState)});
            }
            return scanned;
        },
        [this, generation, then = std::move(then)](QList<ScannedTeamProjectState> scanned) {
            if (generation == m_scanGeneration)
                mergeScan(scanned);
            then();
        });
}

void TeamLocalProjects::mergeScan(const QList<ScannedTeamProjectState> &scanned)
{
    // The list as it is now: it may have changed while git ran.
    const QHash<QString, LocalTeamProjectSource> sourcesByPath = sourcesByPathOf(m_sources);
    QHash<QString, LocalTeamProjectState> states;
    for (auto it = m_states.cbegin(); it != m_states.cend(); ++it) {
        if (sourcesByPath.contains(it.key()))
            states.insert(it.key(), it.value());
    }
    for (const ScannedTeamProjectState &result : scanned) {
        const auto current = sourcesByPath.constFind(result.source.path);
        if (current == sourcesByPath.cend() || *current != result.source)
            continue; // stale: scanned again only when asked again
        if (result.state)
            states.insert(result.source.path, *result.state);
        else
            states.remove(result.source.path);
    }
    for (auto it = states.begin(); it != states.end(); ++it)
        it->shared.isCodexProcessing = sourcesByPath.value(it.key()).isCodexProcessing;

    m_workSummaries.adoptKnownWorkSummaries(states);
    m_states = states;
    // Every team holds the same list, so the last scan's map is right for all of them.
    m_metadataCache.setTeamStates(states);

    const QList<CommitCreatedMessage> newCommits = detectNewCommits(states);
    m_workSummaries.enqueueWorkSummaries(states);
    Q_EMIT statesChanged(newCommits);
}

QList<CommitCreatedMessage> TeamLocalProjects::detectNewCommits(
    const QHash<QString, LocalTeamProjectState> &states)
{
    // A repository checked out at several paths counts once, by its newest head commit.
    QHash<QString, LocalTeamProjectState> byRepository;
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
        const auto chosen = byRepository.constFind(it->shared.repositoryId);
        if (chosen == byRepository.cend()
            || it->committedAt.value_or(0) > chosen->committedAt.value_or(0))
            byRepository.insert(it->shared.repositoryId, it.value());
    }
    QStringList repositoryIds = byRepository.keys();
    std::sort(repositoryIds.begin(), repositoryIds.end());
    QList<CommitCreatedMessage> newCommits;
    for (const QString &repositoryId : std::as_const(repositoryIds)) {
        const LocalTeamProjectState state = byRepository.value(repositoryId);
        if (!state.shared.headSha)
            continue;
        const std::optional<QString> previousHead =
            m_knownHeadsByRepository.contains(repositoryId)
                ? std::optional<QString>(m_knownHeadsByRepository.value(repositoryId))
                : std::nullopt;
        m_knownHeadsByRepository.insert(repositoryId, *state.shared.headSha);
        // The first sighting after a reset only records the head: what moved before it is
        // not news.
        if (!previousHead || *previousHead == *state.shared.headSha)
            continue;
        if (!state.isLocalCommit || !state.headSubject || !state.committedAt)
            continue;
        CommitCreatedMessage message;
        message.deviceId = m_settings.deviceID();
        message.memberName = m_settings.memberName();
        message.commit.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
        message.commit.repositoryId = repositoryId;
        message.commit.repositoryName = state.shared.repositoryName;
        message.commit.branch = state.shared.branch;
        message.commit.headSha = *state.shared.headSha;
        message.commit.subject = *state.headSubject;
        message.commit.committedAt = *state.committedAt;
        qCInfo(lcTeam, "Queued a new local commit for the team");
        newCommits.append(message);
    }
    return newCommits;
}

} // namespace tolvaran
