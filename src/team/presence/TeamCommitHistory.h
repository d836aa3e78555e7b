#pragma once

#include "team_interface/TeamCommitEvent.h"
#include "team/presence/TeamOwnDevice.h"

#include <QList>
#include <QSet>
#include <QString>

namespace tolvaran {

// The team's recent commits, newest first, and the queue of commit notices for the browser's
// banner: commits of other people that arrived after the first history since the last reset.
class TeamCommitHistory
{
public:
    // Notices beyond this stay unqueued: those already waiting take precedence.
    static constexpr qsizetype maximumNotifications = 20;

    struct Changes
    {
        bool commitNotifications = false;
        bool recentCommits = false;
    };

    // Applies the server's history (an absent history is an empty list).
    Changes apply(const QList<TeamCommitEvent> &commits, const TeamOwnDevice &self);
    // Forgets the known ids so that the next history queues nothing; the published lists stay.
    void reset();
    // Removes every notice with that id; true when one was removed.
    bool dismissNotification(const QString &eventId);
    // Empties the queue; true when it held something.
    bool clearNotifications();
    // Forgets everything, the published lists too (a team switched off shows no commits).
    Changes clear();

    const QList<TeamCommitEvent> &recentCommits() const { return m_recentCommits; }
    const QList<TeamCommitEvent> &commitNotifications() const { return m_notifications; }
    bool hasLoadedCommitHistory() const { return m_hasLoaded; }

private:
    QList<TeamCommitEvent> m_recentCommits;
    QList<TeamCommitEvent> m_notifications;
    QSet<QString> m_knownIds;
    bool m_hasLoaded = false;
};

} // namespace tolvaran
