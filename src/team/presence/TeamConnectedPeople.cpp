#include "team/presence/TeamConnectedPeople.h"

#include "team/presence/TeamPresenceRules.h"

#include <QSet>

#include <algorithm>

namespace tolvaran {

namespace {

struct PersonEntry
{
    QString name;
    bool isCurrentUser = false;
    QSet<QString> activeRepositories;
    Timestamp lastSeenAt = Timestamp::distantPast();
};

using TeamPresenceRules::isActive;

} // namespace

QList<TeamConnectedPerson> teamConnectedPeople(
    const QList<StoredDevicePresence> &members, const TeamOwnDevice &self,
    const QHash<QString, SharedProjectState> &localActivityByPath, Timestamp now)
{
    QList<QString> keysInOrder;
    QHash<QString, PersonEntry> entries;

    PersonEntry user;
    user.name = self.memberName;
    user.isCurrentUser = true;
    for (const SharedProjectState &state : localActivityByPath) {
        if (isActive(state))
            user.activeRepositories.insert(state.repositoryId);
    }
    user.lastSeenAt = now;
    const QString userKey = teamPersonKey(self.memberName);
    keysInOrder.append(userKey);
    entries.insert(userKey, user);

    for (const StoredDevicePresence &member : members) {
        if (!member.isConnected.value_or(true))
            continue;
        const QString key = teamPersonKey(member.memberName);
        auto found = entries.find(key);
        if (found == entries.end()) {
            PersonEntry entry;
            entry.name = member.memberName;
            keysInOrder.append(key);
            found = entries.insert(key, entry);
        }
        if (member.deviceId == self.deviceID)
            found->isCurrentUser = true;
        for (const SharedProjectState &project : member.projects) {
            if (isActive(project))
                found->activeRepositories.insert(project.repositoryId);
        }
        found->lastSeenAt = std::max(found->lastSeenAt,
                                     Timestamp::fromMilliseconds(member.serverUpdatedAt));
    }

    QList<TeamConnectedPerson> people;
    people.reserve(keysInOrder.size());
    for (const QString &key : keysInOrder) {
        const PersonEntry &entry = entries[key];
        people.append({entry.name, entry.isCurrentUser, entry.activeRepositories.size(),
                       entry.lastSeenAt});
    }
    std::stable_sort(people.begin(), people.end(),
                     [](const TeamConnectedPerson &a, const TeamConnectedPerson &b) {
                         if (a.isCurrentUser != b.isCurrentUser)
                             return a.isCurrentUser;
                         return teamNameLessThan(a.name, b.name);
                     });
    return people;
}

bool teamConnectedPeopleDiffer(const QList<TeamConnectedPerson> &published,
                               const QList<TeamConnectedPerson> &computed)
{
    return !std::equal(published.cbegin(), published.cend(), computed.cbegin(), computed.cend(),
                       [](const TeamConnectedPerson &a, const TeamConnectedPerson &b) {
                           return a.name == b.name && a.isCurrentUser == b.isCurrentUser
                               && a.activeProjectCount == b.activeProjectCount;
                       });
}

} // namespace tolvaran
