#pragma once

#include "data/git/LocalTeamProjectState.h"
#include "data/git/SharedProjectState.h"
#include "team_interface/TeamCommitEvent.h"
#include "platform/Timestamp.h"
#include "team/presence/TeamCommitHistory.h"
#include "team/view/TeamConnectedPerson.h"
#include "team/presence/TeamOwnDevice.h"
#include "team/view/TeamProjectSummary.h"
#include "team/view/TeamProjectUsageSummary.h"
#include "team/wire/TeamSnapshot.h"
#include "team/wire/TeamWireRepositoryIdFunction.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace tolvaran {

// The values a team publishes from its snapshots, in the order one application publishes them.
enum class TeamPublishedValue {
    teamName,
    connectedPeople,
    commitNotifications,
    recentCommits,
    sharedProjectPaths,
    summariesByPath,
    usageSummariesByPath,
    localActivityByPath,
};

// What the presence service knows of its own side when a snapshot is applied. Borrowed for the
// duration of one call.
struct TeamLocalSide
{
    TeamOwnDevice self;        // the settings' device identifier and member name
    QString settingsTeamName;  // the settings' team name
    const QHash<QString, LocalTeamProjectState> &localProjectStatesByPath;
    const QHash<QString, SharedProjectState> &repositoryPlaceholdersByPath;
    // The team's wire id function; used only under protocol 2 (see its header).
    TeamWireRepositoryIdFunction wireRepositoryId;
    // What that function hashes with (the team ID): two sides with equal keys name every
    // repository alike.
    std::optional<QString> wireRepositoryIdKey;
    Timestamp now;
};

// Everything one team shows of its snapshots: per local project path the teammates on the
// same repository with their overlap, their usage there, the paths shared with another
// device, the people, the commit history and the commit notices, and this device's own
// activity. Each value is replaced only when it changed, and every call reports which ones
// did, so the owner (the presence service) signals exactly those: a snapshot that changes
// nothing publishes nothing. The same snapshot met by the same local side again (the server
// repeats it to every device of the team) is recognised before any teammate is looked at.
// Plain value code for the GUI thread; it sends nothing.
class TeamSnapshotValues
{
public:
    struct Outcome
    {
        QList<TeamPublishedValue> changed; // in publication order
        // Set when the settings still carry the name this team showed before: the owner passes
        // it to TeamSettingsStore::applyServerTeamName.
        std::optional<QString> serverTeamNameForSettings;
    };

    // Applies one snapshot against the local side; call updateLocalActivity first so that the
    // local side of the comparison is current.
    Outcome apply(const TeamSnapshot &snapshot, const TeamLocalSide &local);

    // Recomputes this device's published activity: every placeholder, overlaid with the
    // scanned states that are dirty, processing, or on a repository some other person has
    // active in `latestSnapshot`. True when the value changed.
    bool updateLocalActivity(const TeamSnapshot *latestSnapshot,
                             qint64 negotiatedProtocolVersion, const TeamLocalSide &local);

    // The name the service shows outside snapshots (the settings' at a reset, a confirmed
    // rename). True when it changed.
    bool setTeamName(const QString &name);
    // Puts one path's activity in place (a new work summary). True when it changed.
    bool setLocalActivity(const QString &path, const SharedProjectState &state);

    // A disabled team shows no teammates: nobody online, nothing shared, no commits. The values
    // that changed, in publication order.
    QList<TeamPublishedValue> clearTeammates();
    bool dismissCommitNotification(const QString &eventId);
    bool clearCommitNotifications();

    const QString &teamName() const { return m_teamName; }
    const QList<TeamConnectedPerson> &connectedPeople() const { return m_connectedPeople; }
    const QList<TeamCommitEvent> &recentCommits() const { return m_commits.recentCommits(); }
    const QList<TeamCommitEvent> &commitNotifications() const
    {
        return m_commits.commitNotifications();
    }
    const QSet<QString> &sharedProjectPaths() const { return m_sharedProjectPaths; }
    const QHash<QString, TeamProjectSummary> &summariesByPath() const { return m_summaries; }
    const QHash<QString, TeamProjectUsageSummary> &usageSummariesByPath() const
    {
        return m_usageSummaries;
    }
    const QHash<QString, SharedProjectState> &localActivityByPath() const
    {
        return m_localActivity;
    }

private:
    // The local side as the last computation met it. Its maps are implicitly shared with the
    // owner's, so an untouched map compares at the cost of a pointer.
    struct SideInputs
    {
        TeamOwnDevice self;
        QString settingsTeamName;
        std::optional<QString> wireRepositoryIdKey;
        QHash<QString, LocalTeamProjectState> states;
        QHash<QString, SharedProjectState> placeholders;

        explicit SideInputs(const TeamLocalSide &local);
        bool matches(const TeamLocalSide &local) const;
    };
    // What the last application read of its snapshot (not its time or security status, which
    // it does not use) and of the local side. The clock is left out too: it moves only the
    // user's own last-seen time, which alone is never published.
    struct AppliedInputs
    {
        qint64 protocolVersion;
        std::optional<TeamMetadata> team;
        quint64 membersVersion;
        std::optional<QList<TeamCommitEvent>> recentCommits;
        std::optional<QStringList> overlappingRepositoryIds;
        SideInputs side;
    };
    struct ActivityInputs
    {
        std::optional<quint64> membersVersion; // absent: no snapshot
        qint64 protocolVersion;
        SideInputs side;
    };

    // Which teammates `members` are: the same number while they equal the ones met before.
    // Both computations meet each snapshot's members, so they are compared once.
    quint64 membersVersion(const QList<StoredDevicePresence> &members);
    // Called whenever a published value changes outside apply(): the next application works
    // from scratch.
    void forgetAppliedInputs() { m_applied.reset(); }

    QList<StoredDevicePresence> m_knownMembers;
    quint64 m_knownMembersVersion = 0;
    std::optional<AppliedInputs> m_applied;
    std::optional<ActivityInputs> m_activityInputs;
    QString m_teamName;
    QList<TeamConnectedPerson> m_connectedPeople;
    TeamCommitHistory m_commits;
    QSet<QString> m_sharedProjectPaths;
    QHash<QString, TeamProjectSummary> m_summaries;
    QHash<QString, TeamProjectUsageSummary> m_usageSummaries;
    QHash<QString, SharedProjectState> m_localActivity;
};

} // namespace tolvaran
