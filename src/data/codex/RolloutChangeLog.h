#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <mutex>

namespace tolvaran {

// What a file monitor saw of the rollout files, kept for a store that looks at only the
// rollouts named since its last look. Its own lock: the notes come from the GUI thread and
// must not wait for a refresh that holds the store's locks for long.
class RolloutChangeLog
{
public:
    struct Changes
    {
        bool watched = false;
        bool missed = true; // changes may have gone unseen since the last take
        QSet<QString> paths;
    };

    void setWatched(bool watched);
    void note(const QStringList &paths);
    void noteMissed();
    // What was noted since the last take; the paths and the missed mark start afresh.
    Changes take();

private:
    std::mutex m_lock;
    bool m_watched = false;
    bool m_missed = true;
    QSet<QString> m_paths;
};

} // namespace tolvaran
