#include "team/presence/TeamCommitHistory.h"

#include <algorithm>

namespace tolvaran {

TeamCommitHistory::Changes TeamCommitHistory::apply(const QList<TeamCommitEvent> &commits,
                                                    const TeamOwnDevice &self)
{
    Changes changes;
    QList<TeamCommitEvent> sorted = commits;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TeamCommitEvent &a, const TeamCommitEvent &b) {
                         return a.serverReceivedAt > b.serverReceivedAt;
                     });

    if (!m_hasLoaded) {
        m_hasLoaded = true;
    } else {
        QList<TeamCommitEvent> queued = m_notifications;
        bool collected = false;
        for (const TeamCommitEvent &commit : sorted) {
            if (m_knownIds.contains(commit.id)
                || !self.isAnotherPerson(commit.deviceId, commit.memberName))
                continue;
            collected = true;
            if (queued.size() < maximumNotifications)
                queued.append(commit);
        }
        if (collected && queued != m_notifications) {
            m_notifications = std::move(queued);
            changes.commitNotifications = true;
        }
    }

    for (const TeamCommitEvent &commit : sorted)
        m_knownIds.insert(commit.id);

    if (sorted != m_recentCommits) {
        m_recentCommits = std::move(sorted);
        changes.recentCommits = true;
    }
    return changes;
}

void TeamCommitHistory::reset()
{
    m_knownIds.clear();
    m_hasLoaded = false;
}

TeamCommitHistory::Changes TeamCommitHistory::clear()
{
    reset();
    const Changes changes{!m_notifications.isEmpty(), !m_recentCommits.isEmpty()};
    m_notifications.clear();
    m_recentCommits.clear();
    return changes;
}

bool TeamCommitHistory::dismissNotification(const QString &eventId)
{
    return m_notifications.removeIf([&](const TeamCommitEvent &event) {
        return event.id == eventId;
    }) > 0;
}

bool TeamCommitHistory::clearNotifications()
{
    if (m_notifications.isEmpty())
        return false;
    m_notifications.clear();
    return true;
}

} // namespace tolvaran
