#include "team/presence/TeamPersonCollapse.h"

#include "team/presence/TeamOwnDevice.h"

#include <QHash>

#include <algorithm>

namespace tolvaran {

namespace {

bool ranksAbove(const TeamProjectPeer &candidate, const TeamProjectPeer &stored)
{
    if (candidate.conflictLevel != stored.conflictLevel)
        return candidate.conflictLevel > stored.conflictLevel;
    if (candidate.isConnected != stored.isConnected)
        return candidate.isConnected;
    return candidate.serverUpdatedAt > stored.serverUpdatedAt;
}

QStringList unionSorted(const QStringList &first, const QStringList &second)
{
    QStringList all = first + second;
    std::sort(all.begin(), all.end()); // plain string order, as the overlap lists themselves
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
}

template<typename Entry>
void sortByName(QList<Entry> &entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return teamNameLessThan(a.memberName, b.memberName);
    });
}

} // namespace

QList<TeamProjectPeer> collapsePeersByPerson(const QList<TeamProjectPeer> &peers)
{
    QList<TeamProjectPeer> collapsed;
    QHash<QString, qsizetype> indexByKey;
    for (const TeamProjectPeer &peer : peers) {
        const QString key = teamPersonKey(peer.memberName);
        const auto found = indexByKey.constFind(key);
        if (found == indexByKey.cend()) {
            indexByKey.insert(key, collapsed.size());
            collapsed.append(peer);
            continue;
        }
        TeamProjectPeer &stored = collapsed[*found];
        const TeamConflictLevel level = std::max(stored.conflictLevel, peer.conflictLevel);
        QStringList files = unionSorted(stored.overlappingFiles, peer.overlappingFiles);
        if (ranksAbove(peer, stored)) {
            stored.deviceId = peer.deviceId;
            stored.project = peer.project;
            stored.serverUpdatedAt = peer.serverUpdatedAt;
            stored.isConnected = peer.isConnected;
        }
        stored.overlappingFiles = std::move(files);
        stored.conflictLevel = level;
    }
    sortByName(collapsed);
    return collapsed;
}

QList<TeamProjectUsageMember> collapseUsageByPerson(const QList<TeamProjectUsageMember> &members)
{
    QList<TeamProjectUsageMember> collapsed;
    QHash<QString, qsizetype> indexByKey;
    for (const TeamProjectUsageMember &member : members) {
        const QString key = teamPersonKey(member.memberName);
        const auto found = indexByKey.constFind(key);
        if (found == indexByKey.cend()) {
            indexByKey.insert(key, collapsed.size());
            collapsed.append(member);
        } else if (member.serverUpdatedAt > collapsed[*found].serverUpdatedAt) {
            collapsed[*found] = member;
        }
    }
    sortByName(collapsed);
    return collapsed;
}

} // namespace tolvaran
