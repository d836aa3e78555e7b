#include "data/codex/RolloutChangeLog.h"

#include <utility>

namespace tolvaran {

void RolloutChangeLog::setWatched(bool watched)
{
    const std::lock_guard lock(m_lock);
    m_watched = watched;
    m_missed = true; // what happened before the monitor started is not known
}

void RolloutChangeLog::note(const QStringList &paths)
{
    const std::lock_guard lock(m_lock);
    for (const QString &path : paths)
        m_paths.insert(path);
}

void RolloutChangeLog::noteMissed()
{
    const std::lock_guard lock(m_lock);
    m_missed = true;
}

RolloutChangeLog::Changes RolloutChangeLog::take()
{
    const std::lock_guard lock(m_lock);
    return {m_watched, std::exchange(m_missed, false), std::exchange(m_paths, {})};
}

} // namespace tolvaran
