#include "team/TeamWorkspaceStore.h"

#include "platform/storage/KeyValueStore.h"
#include "team/TeamLogging.h"
#include "team/presence/TeamOwnDevice.h"
#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamSettingsError.h"
#include "team/server/TeamSettingsStore.h"
#include "team/TeamWorkspace.h"

#include <QCoreApplication>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <utility>

namespace tolvaran {

namespace {

constexpr qsizetype uuidTextLength = 36;

// A stored profile id names the folder that removing the profile deletes as a whole, so only
// the plain text of a UUID (what beginAddingTeam() makes) is taken for one; QUuid would also
// read braced forms.
bool isProfileID(const QString &id)
{
    return id.size() == uuidTextLength && !QUuid::fromString(id).isNull();
}

// One refresh over the teams listed when it began, a team at a time.
struct RefreshWalk
{
    QList<std::weak_ptr<TeamWorkspace>> teams;
    QSet<QString> paths;
    std::function<void()> done;
};

void continueRefreshWalk(const std::shared_ptr<RefreshWalk> &walk, qsizetype next);

// Hands a walk on exactly once: when the team's service reports its refresh done, or, should
// the service drop that report unrun (the team was removed and released during its scan), in
// a later event-loop turn. A caller waiting for the walk (the repository refresh) would
// otherwise wait for ever.
class RefreshWalkStep final
{
public:
    RefreshWalkStep(std::shared_ptr<RefreshWalk> walk, qsizetype next)
        : m_walk(std::move(walk))
        , m_next(next)
    {
    }
    RefreshWalkStep(const RefreshWalkStep &) = delete;
    RefreshWalkStep &operator=(const RefreshWalkStep &) = delete;
    ~RefreshWalkStep()
    {
        // Possibly inside the service's destruction: nothing more runs from here.
        if (m_walk && QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [walk = std::move(m_walk), next = m_next] { continueRefreshWalk(walk, next); },
                Qt::QueuedConnection);
        }
    }

    void run()
    {
        if (std::shared_ptr<RefreshWalk> walk = std::exchange(m_walk, nullptr))
            continueRefreshWalk(walk, m_next);
    }

private:
    std::shared_ptr<RefreshWalk> m_walk;
    qsizetype m_next;
};

void continueRefreshWalk(const std::shared_ptr<RefreshWalk> &walk, qsizetype next)
{
    // A team switched off by the time it is reached, or gone, is passed over.
    for (; next < walk->teams.size(); ++next) {
        const std::shared_ptr<TeamWorkspace> team = walk->teams.at(next).lock();
        if (!team || !team->settings().isEnabled())
            continue;
        auto step = std::make_shared<RefreshWalkStep>(walk, next + 1);
        team->service().refreshProjects(walk->paths, [step] { step->run(); });
        return;
    }
    if (walk->done)
        std::exchange(walk->done, nullptr)();
}

} // namespace

TeamWorkspaceStore::TeamWorkspaceStore(KeyValueStore &defaults,
                                       ProjectMetadataCache &metadataCache,
                                       const QString &applicationSupportDirectory,
                                       TeamClock &clock, QObject *parent)
    : TeamWorkspaceService(parent)
    , m_defaults(defaults)
    , m_metadataCache(metadataCache)
    , m_applicationSupportDirectory(applicationSupportDirectory)
    , m_clock(clock)
    , m_tokenUsageSnapshot(TokenUsageSnapshot::empty())
{
    loadStoredProfiles();
    m_announced = answers();
}

TeamWorkspaceStore::~TeamWorkspaceStore() = default;

std::unique_ptr<TeamSettingsStore> TeamWorkspaceStore::openSettings(const QString &id) const
{
    const bool legacy = id == TeamSettingsStore::legacyProfileID;
    return std::make_unique<TeamSettingsStore>(m_defaults, id, legacy,
                                               m_applicationSupportDirectory);
}

std::shared_ptr<TeamWorkspace>
TeamWorkspaceStore::makeTeam(const QString &id, std::unique_ptr<TeamSettingsStore> settings)
{
    return std::make_shared<TeamWorkspace>(id, std::move(settings), m_metadataCache, m_clock);
}

void TeamWorkspaceStore::loadStoredProfiles()
{
    const QString legacyID = TeamSettingsStore::legacyProfileID;
    m_selectedManagementTeamID = m_defaults.contains(selectedManagementTeamIDKey)
                                     ? m_defaults.string(selectedManagementTeamIDKey)
                                     : legacyID;
    m_teams.append(makeTeam(legacyID, openSettings(legacyID)));

    QSet<QString> seen;
    for (const QString &id : m_defaults.stringList(profileIDsKey)) {
        if (id == legacyID)
            continue;
        // Anything else than a profile's own id is left where it is: not opened (which would
        // write to it) and never deleted.
        if (!isProfileID(id) || seen.contains(id)) {
            qCWarning(lcTeam) << "Skipped a stored team profile id that is not usable";
            continue;
        }
        seen.insert(id);
        std::unique_ptr<TeamSettingsStore> settings = openSettings(id);
        // Opening switches on a profile that holds a key or a registration.
        if (!settings->isEnabled() && !settings->hasStoredKey() && !settings->hasRegistration()) {
            settings->removeStoredProfile();
            continue;
        }
        if (!settings->isEnabled()) {
            settings->setEnabled(true);
            try {
                settings->save();
            } catch (const TeamSettingsError &error) {
                qCWarning(lcTeam) << "Switching on a stored team failed:" << error.what();
            }
        }
        m_teams.append(makeTeam(id, std::move(settings)));
    }
    if (indexOf(m_selectedManagementTeamID) < 0)
        m_selectedManagementTeamID = legacyID;
    for (const auto &team : std::as_const(m_teams))
        observe(*team);
    persistProfiles();
}

qsizetype TeamWorkspaceStore::indexOf(const QString &id) const
{
    for (qsizetype i = 0; i < m_teams.size(); ++i) {
        if (m_teams.at(i)->id() == id)
            return i;
    }
    return -1;
}

QList<TeamWorkspace *> TeamWorkspaceStore::enabledWorkspaces() const
{
    QList<TeamWorkspace *> enabled;
    for (const auto &team : m_teams) {
        if (team->settings().isEnabled())
            enabled.append(team.get());
    }
    return enabled;
}

void TeamWorkspaceStore::observe(const TeamWorkspace &team)
{
    // Queued, as the teams' changes reach the workspace one turn later; the workspace is the
    // context, so nothing arrives once it is gone. A change posted just before the team was
    // removed still arrives, and then names no listed team.
    const auto forward = [this, id = team.id()] {
        announceChangedAnswers();
        if (indexOf(id) >= 0)
            Q_EMIT teamChanged(id);
    };
    const TeamPresenceService *service = &team.service();
    const TeamSettingsStore *settings = &team.settings();
    QList<QMetaObject::Connection> &connections = m_teamConnections[team.id()];
    for (const QMetaObject::Connection &connection : std::as_const(connections))
        disconnect(connection);
    connections = {
        connect(service, &TeamPresenceService::changed, this, forward, Qt::QueuedConnection),
        connect(settings, &TeamSettingsStore::isEnabledChanged, this, forward,
                Qt::QueuedConnection),
        connect(settings, &TeamSettingsStore::memberNameChanged, this, forward,
                Qt::QueuedConnection),
        connect(settings, &TeamSettingsStore::teamNameChanged, this, forward,
                Qt::QueuedConnection),
        connect(settings, &TeamSettingsStore::hasStoredKeyChanged, this, forward,
                Qt::QueuedConnection),
    };
}

void TeamWorkspaceStore::persistProfiles()
{
    QStringList ids;
    for (qsizetype i = 1; i < m_teams.size(); ++i)
        ids.append(m_teams.at(i)->id());
    m_defaults.setValue(profileIDsKey, ids);
    m_defaults.setValue(selectedManagementTeamIDKey, m_selectedManagementTeamID);
}

void TeamWorkspaceStore::setSelectedManagementTeamID(const QString &id)
{
    if (m_selectedManagementTeamID == id)
        return;
    m_selectedManagementTeamID = id;
    Q_EMIT selectedManagementTeamIDChanged(id);
}

std::shared_ptr<TeamWorkspace> TeamWorkspaceStore::selectedManagementTeam() const
{
    const qsizetype index = indexOf(m_selectedManagementTeamID);
    return index < 0 ? nullptr : m_teams.at(index);
}

void TeamWorkspaceStore::selectManagementTeam(const QString &id)
{
    if (indexOf(id) < 0)
        return;
    setSelectedManagementTeamID(id);
    m_defaults.setValue(selectedManagementTeamIDKey, id);
}

std::shared_ptr<TeamWorkspace> TeamWorkspaceStore::beginAddingTeam()
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    std::unique_ptr<TeamSettingsStore> settings = openSettings(id);
    settings->setEnabled(true);
    return makeTeam(id, std::move(settings));
}

void TeamWorkspaceStore::commitAddedTeam(const std::shared_ptr<TeamWorkspace> &team)
{
    if (!team || indexOf(team->id()) >= 0 || !team->settings().hasConfiguredMembership())
        return;
    m_teams.append(team);
    setSelectedManagementTeamID(team->id());
    observe(*team);
    TeamPresenceService &service = team->service();
    service.updateProjects(m_sources);
    if (!(service.tokenUsageSnapshot() == m_tokenUsageSnapshot))
        service.setTokenUsageSnapshot(m_tokenUsageSnapshot);
    if (m_isStarted && !service.isStarted())
        startService(*team);
    persistProfiles();
    Q_EMIT teamsChanged();
    announceChangedAnswers();
}

void TeamWorkspaceStore::discardAddedTeam(const TeamWorkspace &team)
{
    if (indexOf(team.id()) >= 0)
        return;
    team.settings().removeStoredProfile();
}

void TeamWorkspaceStore::removeTeam(const QString &id)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    const std::shared_ptr<TeamWorkspace> team = m_teams.at(index);
    team->settings().removeStoredProfile();
    team->service().reconfigure();
    if (id != TeamSettingsStore::legacyProfileID) {
        m_teams.removeAt(index);
        for (const QMetaObject::Connection &connection : m_teamConnections.take(id))
            disconnect(connection);
        if (m_selectedManagementTeamID == id)
            setSelectedManagementTeamID(m_teams.first()->id());
    } else if (m_teams.size() >= 2) {
        setSelectedManagementTeamID(m_teams.at(1)->id());
    }
    persistProfiles();
    Q_EMIT teamsChanged();
    announceChangedAnswers();
}

void TeamWorkspaceStore::startService(TeamWorkspace &team)
{
    team.service().setStarted(true);
    team.service().reconfigure();
}

void TeamWorkspaceStore::start()
{
    if (m_isStarted)
        return;
    m_isStarted = true;
    // A copy: a service's first steps may reach back into the workspace.
    const QList<std::shared_ptr<TeamWorkspace>> teams = m_teams;
    for (const auto &team : teams) {
        if (!team->service().isStarted())
            startService(*team);
    }
}

// Window-wide answers.

QList<TeamWorkspaceTeam> TeamWorkspaceStore::enabledTeams() const
{
    QList<TeamWorkspaceTeam> teams;
    for (const TeamWorkspace *team : enabledWorkspaces())
        teams.append({team->id(), team->service().teamName()});
    return teams;
}

QString TeamWorkspaceStore::teamName() const
{
    const QList<TeamWorkspace *> enabled = enabledWorkspaces();
    if (enabled.isEmpty())
        return noTeamName;
    if (enabled.size() == 1)
        return enabled.first()->service().teamName();
    return QStringLiteral("%1 teams").arg(enabled.size());
}

TeamConnectionState
TeamWorkspaceStore::combinedConnectionState(const QList<TeamConnectionState> &states)
{
    using Case = TeamConnectionState::Case;
    if (states.isEmpty())
        return TeamConnectionState::disabled();
    const auto any = [&states](Case wanted) {
        return std::any_of(states.cbegin(), states.cend(),
                           [wanted](const TeamConnectionState &state) {
                               return state.state == wanted;
                           });
    };
    if (std::all_of(states.cbegin(), states.cend(), [](const TeamConnectionState &state) {
            return state.state == Case::connected;
        })) {
        return TeamConnectionState::connected();
    }
    if (any(Case::failed))
        return TeamConnectionState::failed(unavailableMessage);
    if (any(Case::reconnecting))
        return TeamConnectionState::reconnecting(reconnectingMessage);
    // Teams still connecting, and enabled teams whose service is off.
    return TeamConnectionState::connecting();
}

TeamConnectionState TeamWorkspaceStore::connectionState() const
{
    QList<TeamConnectionState> states;
    for (const TeamWorkspace *team : enabledWorkspaces())
        states.append(team->service().connectionState());
    return combinedConnectionState(states);
}

void TeamWorkspaceStore::sortTeamNames(QStringList &names)
{
    std::stable_sort(names.begin(), names.end(), teamNameLessThan);
}

bool TeamWorkspaceStore::hasTeamMemberships() const
{
    // Being switched on does not count: only a key or a registration is a membership.
    return std::any_of(m_teams.cbegin(), m_teams.cend(), [](const auto &team) {
        const TeamSettingsStore &settings = team->settings();
        return settings.hasStoredKey() || settings.hasRegistration();
    });
}

// Per-path answers. Each is one walk over the enabled teams: the cards ask them on every
// render.

QSet<QString> TeamWorkspaceStore::teamIDs(const QString &path) const
{
    QSet<QString> ids;
    for (const TeamWorkspace *team : enabledWorkspaces()) {
        if (team->service().sharedProjectPaths().contains(path))
            ids.insert(team->id());
    }
    return ids;
}

std::optional<TeamProjectSummary> TeamWorkspaceStore::summary(const QString &path) const
{
    // A teammate in two teams is listed once per team.
    TeamProjectSummary joined;
    for (const TeamWorkspace *team : enabledWorkspaces()) {
        const auto &summaries = team->service().summariesByPath();
        const auto found = summaries.constFind(path);
        if (found != summaries.constEnd())
            joined.peers.append(found->peers);
    }
    if (joined.peers.isEmpty())
        return std::nullopt;
    return joined;
}

std::optional<TeamProjectUsageSummary> TeamWorkspaceStore::usageSummary(const QString &path) const
{
    TeamProjectUsageSummary joined;
    for (const TeamWorkspace *team : enabledWorkspaces()) {
        const auto &summaries = team->service().usageSummariesByPath();
        const auto found = summaries.constFind(path);
        if (found != summaries.constEnd())
            joined.members.append(found->members);
    }
    if (joined.members.isEmpty())
        return std::nullopt;
    return joined;
}

QStringList TeamWorkspaceStore::teamNames(const QString &path) const
{
    QStringList names;
    for (const TeamWorkspace *team : enabledWorkspaces()) {
        if (team->service().sharedProjectPaths().contains(path))
            names.append(team->service().teamName());
    }
    sortTeamNames(names);
    return names;
}

std::optional<SharedProjectState> TeamWorkspaceStore::localActivity(const QString &path) const
{
    for (const TeamWorkspace *team : enabledWorkspaces()) {
        if (std::optional<SharedProjectState> activity = team->service().localActivity(path))
            return activity;
    }
    return std::nullopt;
}

QList<TeamCommitEvent> TeamWorkspaceStore::commitNotifications() const
{
    QList<TeamCommitEvent> notifications;
    for (const TeamWorkspace *team : enabledWorkspaces())
        notifications.append(team->service().commitNotifications());
    std::stable_sort(notifications.begin(), notifications.end(),
                     [](const TeamCommitEvent &a, const TeamCommitEvent &b) {
                         return a.serverReceivedAt > b.serverReceivedAt;
                     });
    return notifications;
}

void TeamWorkspaceStore::dismissCommitNotification(const TeamCommitEvent &event)
{
    // Every team, switched off or not: the same event may be queued in several.
    for (const auto &team : std::as_const(m_teams))
        team->service().dismissCommitNotification(event.id);
}

// The answers all at once, to announce what changed. The per-path maps join the teams as
// the per-path readers above do, for every path at once.

TeamWorkspaceAnswers TeamWorkspaceStore::answers() const
{
    TeamWorkspaceAnswers answers;
    answers.enabledTeams = enabledTeams();
    answers.teamName = teamName();
    answers.connectionState = connectionState();
    answers.hasTeamMemberships = hasTeamMemberships();
    answers.commitNotifications = commitNotifications();
    for (const TeamWorkspace *team : enabledWorkspaces()) {
        const TeamPresenceService &service = team->service();
        const TeamWorkspaceTeam sharing{team->id(), service.teamName()};
        for (const QString &path : service.sharedProjectPaths())
            answers.sharingTeams[path].append(sharing);
        const auto &summaries = service.summariesByPath();
        for (auto it = summaries.cbegin(); it != summaries.cend(); ++it) {
            if (!it->peers.isEmpty())
                answers.summaries[it.key()].peers.append(it->peers);
        }
        const auto &usages = service.usageSummariesByPath();
        for (auto it = usages.cbegin(); it != usages.cend(); ++it) {
            if (!it->members.isEmpty())
                answers.usageSummaries[it.key()].members.append(it->members);
        }
        const auto &activities = service.localActivityByPath();
        for (auto it = activities.cbegin(); it != activities.cend(); ++it) {
            if (answers.localActivities.contains(it.key()))
                continue;
            if (std::optional<SharedProjectState> active = service.localActivity(it.key()))
                answers.localActivities.insert(it.key(), std::move(*active));
        }
    }
    return answers;
}

void TeamWorkspaceStore::announceChangedAnswers()
{
    // Stored before any signal, so a receiver that calls back finds nothing to announce again.
    const TeamWorkspaceAnswers now = answers();
    const TeamWorkspaceAnswers before = std::exchange(m_announced, now);
    if (now.enabledTeams != before.enabledTeams)
        Q_EMIT enabledTeamsChanged();
    if (now.teamName != before.teamName)
        Q_EMIT teamNameChanged(now.teamName);
    if (!(now.connectionState == before.connectionState))
        Q_EMIT connectionStateChanged(now.connectionState);
    if (now.hasTeamMemberships != before.hasTeamMemberships)
        Q_EMIT hasTeamMembershipsChanged(now.hasTeamMemberships);
    if (now.commitNotifications != before.commitNotifications)
        Q_EMIT commitNotificationsChanged();
    if (now.sharingTeams != before.sharingTeams)
        Q_EMIT sharedProjectsChanged();
    if (now.summaries != before.summaries)
        Q_EMIT projectSummariesChanged();
    if (now.usageSummaries != before.usageSummaries)
        Q_EMIT usageSummariesChanged();
    if (now.localActivities != before.localActivities)
        Q_EMIT localActivityChanged();
}

// Fan-out.

void TeamWorkspaceStore::updateProjects(const QList<LocalTeamProjectSource> &sources)
{
    m_sources = sources;
    // Switched-off teams too: they have the list at hand when switched on.
    for (const auto &team : std::as_const(m_teams))
        team->service().updateProjects(sources);
}

void TeamWorkspaceStore::updateTokenUsage(const TokenUsageSnapshot &snapshot)
{
    m_tokenUsageSnapshot = snapshot;
    for (const auto &team : std::as_const(m_teams)) {
        if (!(team->service().tokenUsageSnapshot() == snapshot))
            team->service().setTokenUsageSnapshot(snapshot);
    }
}

void TeamWorkspaceStore::refreshProjects(const QSet<QString> &paths, std::function<void()> done)
{
    // One team after the other, never in parallel: every scan replaces the metadata cache's
    // shared team states whole.
    auto walk = std::make_shared<RefreshWalk>();
    for (const auto &team : std::as_const(m_teams))
        walk->teams.append(team);
    walk->paths = paths;
    walk->done = std::move(done);
    continueRefreshWalk(walk, 0);
}

} // namespace tolvaran
