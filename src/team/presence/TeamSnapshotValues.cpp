#include "team/presence/TeamSnapshotValues.h"

#include "team/presence/TeamConnectedPeople.h"
#include "team/presence/TeamOverlap.h"
#include "team/presence/TeamPersonCollapse.h"
#include "team/presence/TeamPresenceRules.h"

namespace tolvaran {

namespace {

struct LocalEntry
{
    QString path;
    const SharedProjectState *state = nullptr;
};

using LocalIndex = QHash<QString, QList<LocalEntry>>;

using TeamPresenceRules::isActive;

// Maps that share their data (the owner's, untouched since) are equal at once.
template<typename Map>
bool sameEntries(const Map &a, const Map &b)
{
    if (a.isSharedWith(b))
        return true;
    if (a.size() != b.size())
        return false;
    // Looked up by value: GCC's optimiser warns of a null node in QHash's own iterators (and
    // in its operator==) where none can be.
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        if (!b.contains(it.key()) || !(b.value(it.key()) == it.value()))
            return false;
    }
    return true;
}

template<typename Value>
bool assignIfChanged(Value &published, Value &&computed)
{
    if (published == computed)
        return false;
    published = std::move(computed);
    return true;
}

QSet<QString> sharedPaths(const TeamSnapshot &snapshot, const TeamLocalSide &local)
{
    // Placeholders overlaid with the scanned states: every project this device knows.
    QHash<QString, QString> inventory; // path -> plain repository id
    for (auto it = local.repositoryPlaceholdersByPath.cbegin();
         it != local.repositoryPlaceholdersByPath.cend(); ++it)
        inventory.insert(it.key(), it->repositoryId);
    for (auto it = local.localProjectStatesByPath.cbegin();
         it != local.localProjectStatesByPath.cend(); ++it)
        inventory.insert(it.key(), it->shared.repositoryId);

    QSet<QString> listed;
    if (snapshot.protocolVersion == 2) {
        const QStringList overlapping = snapshot.overlappingRepositoryIds.value_or(QStringList());
        listed = QSet<QString>(overlapping.cbegin(), overlapping.cend());
    } else {
        for (const StoredDevicePresence &member : snapshot.members) {
            if (!local.self.isAnotherPerson(member.deviceId, member.memberName))
                continue;
            for (const SharedProjectState &project : member.projects)
                listed.insert(project.repositoryId);
        }
    }

    QSet<QString> paths;
    if (listed.isEmpty())
        return paths;
    for (auto it = inventory.cbegin(); it != inventory.cend(); ++it) {
        if (listed.contains(teamComparisonRepositoryId(it.value(), snapshot.protocolVersion,
                                                       local.wireRepositoryId)))
            paths.insert(it.key());
    }
    return paths;
}

} // namespace

TeamSnapshotValues::SideInputs::SideInputs(const TeamLocalSide &local)
    : self(local.self)
    , settingsTeamName(local.settingsTeamName)
    , wireRepositoryIdKey(local.wireRepositoryIdKey)
    , states(local.localProjectStatesByPath)
    , placeholders(local.repositoryPlaceholdersByPath)
{
}

bool TeamSnapshotValues::SideInputs::matches(const TeamLocalSide &local) const
{
    return self == local.self && settingsTeamName == local.settingsTeamName
        && wireRepositoryIdKey == local.wireRepositoryIdKey
        && sameEntries(states, local.localProjectStatesByPath)
        && sameEntries(placeholders, local.repositoryPlaceholdersByPath);
}

quint64 TeamSnapshotValues::membersVersion(const QList<StoredDevicePresence> &members)
{
    if (!members.isSharedWith(m_knownMembers) && members != m_knownMembers)
        ++m_knownMembersVersion;
    // Kept whether equal or not: the next call with this snapshot compares a pointer.
    m_knownMembers = members;
    return m_knownMembersVersion;
}

TeamSnapshotValues::Outcome TeamSnapshotValues::apply(const TeamSnapshot &snapshot,
                                                      const TeamLocalSide &local)
{
    Outcome outcome;
    // Everything below is a function of these inputs and of what the last application left,
    // so the same inputs again change nothing. The cheap comparisons go first.
    const quint64 members = membersVersion(snapshot.members);
    if (m_applied && m_applied->protocolVersion == snapshot.protocolVersion
        && m_applied->membersVersion == members && m_applied->side.matches(local)
        && m_applied->team == snapshot.team && m_applied->recentCommits == snapshot.recentCommits
        && m_applied->overlappingRepositoryIds == snapshot.overlappingRepositoryIds)
        return outcome;
    const auto note = [&outcome](bool changed, TeamPublishedValue value) {
        if (changed)
            outcome.changed.append(value);
    };

    if (snapshot.team) {
        const QString previous = m_teamName;
        note(assignIfChanged(m_teamName, QString(snapshot.team->name)),
             TeamPublishedValue::teamName);
        if (local.settingsTeamName == previous && local.settingsTeamName != snapshot.team->name)
            outcome.serverTeamNameForSettings = snapshot.team->name;
    } else {
        note(assignIfChanged(m_teamName, QString(local.settingsTeamName)),
             TeamPublishedValue::teamName);
    }

    QList<TeamConnectedPerson> people =
        teamConnectedPeople(snapshot.members, local.self, m_localActivity, local.now);
    if (teamConnectedPeopleDiffer(m_connectedPeople, people)) {
        m_connectedPeople = std::move(people);
        outcome.changed.append(TeamPublishedValue::connectedPeople);
    }

    const TeamCommitHistory::Changes commits =
        m_commits.apply(snapshot.recentCommits.value_or(QList<TeamCommitEvent>()), local.self);
    note(commits.commitNotifications, TeamPublishedValue::commitNotifications);
    note(commits.recentCommits, TeamPublishedValue::recentCommits);

    // A repository checked out at several paths is listed under each of them.
    LocalIndex index;
    for (auto it = m_localActivity.cbegin(); it != m_localActivity.cend(); ++it) {
        const QString key = teamComparisonRepositoryId(it->repositoryId, snapshot.protocolVersion,
                                                       local.wireRepositoryId);
        index[key].append({it.key(), &it.value()});
    }

    note(assignIfChanged(m_sharedProjectPaths, sharedPaths(snapshot, local)),
         TeamPublishedValue::sharedProjectPaths);

    QHash<QString, QList<TeamProjectPeer>> peersByPath;
    QHash<QString, QList<TeamProjectUsageMember>> usageByPath;
    if (!index.isEmpty()) {
        for (const StoredDevicePresence &member : snapshot.members) {
            const Timestamp updatedAt = Timestamp::fromMilliseconds(member.serverUpdatedAt);
            const bool connected = member.isConnected.value_or(true);
            // The first entry of a repository decides; later duplicates add nothing.
            QSet<QString> usageSeen;
            for (const SharedProjectState &project : member.projects) {
                if (usageSeen.contains(project.repositoryId))
                    continue;
                usageSeen.insert(project.repositoryId);
                if (!project.usage)
                    continue;
                const auto found = index.constFind(project.repositoryId);
                if (found == index.cend())
                    continue;
                for (const LocalEntry &entry : *found)
                    usageByPath[entry.path].append(
                        {member.memberName, *project.usage, updatedAt, connected});
            }

            if (!local.self.isAnotherPerson(member.deviceId, member.memberName))
                continue;
            QSet<QString> peerSeen;
            for (const SharedProjectState &project : member.projects) {
                if (!isActive(project) || peerSeen.contains(project.repositoryId))
                    continue;
                peerSeen.insert(project.repositoryId);
                const auto found = index.constFind(project.repositoryId);
                if (found == index.cend())
                    continue;
                for (const LocalEntry &entry : *found) {
                    TeamOverlap overlap = teamOverlap(project, connected, *entry.state);
                    peersByPath[entry.path].append({member.deviceId, member.memberName, project,
                                                    std::move(overlap.overlappingFiles),
                                                    overlap.conflictLevel, updatedAt,
                                                    connected});
                }
            }
        }
    }

    QHash<QString, TeamProjectSummary> summaries;
    for (auto it = peersByPath.cbegin(); it != peersByPath.cend(); ++it)
        summaries.insert(it.key(), TeamProjectSummary{collapsePeersByPerson(it.value())});
    note(assignIfChanged(m_summaries, std::move(summaries)), TeamPublishedValue::summariesByPath);

    QHash<QString, TeamProjectUsageSummary> usage;
    for (auto it = usageByPath.cbegin(); it != usageByPath.cend(); ++it)
        usage.insert(it.key(), TeamProjectUsageSummary{collapseUsageByPerson(it.value())});
    note(assignIfChanged(m_usageSummaries, std::move(usage)),
         TeamPublishedValue::usageSummariesByPath);
    m_applied.emplace(AppliedInputs{snapshot.protocolVersion, snapshot.team, members,
                                    snapshot.recentCommits, snapshot.overlappingRepositoryIds,
                                    SideInputs(local)});
    return outcome;
}

bool TeamSnapshotValues::updateLocalActivity(const TeamSnapshot *latestSnapshot,
                                             qint64 negotiatedProtocolVersion,
                                             const TeamLocalSide &local)
{
    const std::optional<quint64> members = latestSnapshot
        ? std::optional(membersVersion(latestSnapshot->members))
        : std::nullopt;
    if (m_activityInputs && m_activityInputs->membersVersion == members
        && m_activityInputs->protocolVersion == negotiatedProtocolVersion
        && m_activityInputs->side.matches(local))
        return false;
    m_activityInputs.emplace(ActivityInputs{members, negotiatedProtocolVersion, SideInputs(local)});

    // Ids as the teammates' devices published them: wire ids under protocol 2.
    QSet<QString> teammatesActive;
    if (latestSnapshot) {
        for (const StoredDevicePresence &member : latestSnapshot->members) {
            if (!local.self.isAnotherPerson(member.deviceId, member.memberName))
                continue;
            for (const SharedProjectState &project : member.projects) {
                if (isActive(project))
                    teammatesActive.insert(project.repositoryId);
            }
        }
    }

    QHash<QString, SharedProjectState> activity = local.repositoryPlaceholdersByPath;
    for (auto it = local.localProjectStatesByPath.cbegin();
         it != local.localProjectStatesByPath.cend(); ++it) {
        const SharedProjectState &shared = it->shared;
        const bool kept = isActive(shared)
            || (!teammatesActive.isEmpty()
                && teammatesActive.contains(teamComparisonRepositoryId(
                    shared.repositoryId, negotiatedProtocolVersion, local.wireRepositoryId)));
        if (kept)
            activity.insert(it.key(), shared);
    }
    if (!assignIfChanged(m_localActivity, std::move(activity)))
        return false;
    forgetAppliedInputs();
    return true;
}

bool TeamSnapshotValues::setTeamName(const QString &name)
{
    if (!assignIfChanged(m_teamName, QString(name)))
        return false;
    forgetAppliedInputs();
    return true;
}

bool TeamSnapshotValues::setLocalActivity(const QString &path, const SharedProjectState &state)
{
    const auto found = m_localActivity.constFind(path);
    if (found != m_localActivity.cend() && *found == state)
        return false;
    m_localActivity.insert(path, state);
    // Made again from the same inputs, the activity would lose this state.
    m_activityInputs.reset();
    forgetAppliedInputs();
    return true;
}

bool TeamSnapshotValues::dismissCommitNotification(const QString &eventId)
{
    if (!m_commits.dismissNotification(eventId))
        return false;
    forgetAppliedInputs();
    return true;
}

bool TeamSnapshotValues::clearCommitNotifications()
{
    if (!m_commits.clearNotifications())
        return false;
    forgetAppliedInputs();
    return true;
}

QList<TeamPublishedValue> TeamSnapshotValues::clearTeammates()
{
    forgetAppliedInputs();
    QList<TeamPublishedValue> changed;
    const auto note = [&changed](bool didChange, TeamPublishedValue value) {
        if (didChange)
            changed.append(value);
    };
    note(assignIfChanged(m_connectedPeople, QList<TeamConnectedPerson>()),
         TeamPublishedValue::connectedPeople);
    const TeamCommitHistory::Changes commits = m_commits.clear();
    note(commits.commitNotifications, TeamPublishedValue::commitNotifications);
    note(commits.recentCommits, TeamPublishedValue::recentCommits);
    note(assignIfChanged(m_sharedProjectPaths, QSet<QString>()),
         TeamPublishedValue::sharedProjectPaths);
    note(assignIfChanged(m_summaries, QHash<QString, TeamProjectSummary>()),
         TeamPublishedValue::summariesByPath);
    note(assignIfChanged(m_usageSummaries, QHash<QString, TeamProjectUsageSummary>()),
         TeamPublishedValue::usageSummariesByPath);
    return changed;
}

} // namespace tolvaran
