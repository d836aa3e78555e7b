#include "remote_image/CostlyDecodeQueue.h"

#include <utility>

namespace tolvaran::markdown {

void CostlyDecodeQueue::add(const QUrl &url, Job job)
{
    const std::lock_guard lock(m_mutex);
    m_waiting.push_back({url, std::move(job)});
}

CostlyDecodeQueue::Job CostlyDecodeQueue::takeNext()
{
    const std::lock_guard lock(m_mutex);
    if (m_waiting.empty())
        return {};
    auto next = m_waiting.begin();
    quint64 latest = 0;
    for (auto waiting = m_waiting.begin(); waiting != m_waiting.end(); ++waiting) {
        if (const quint64 drawn = m_drawnAt.value(waiting->url); drawn > latest) {
            latest = drawn;
            next = waiting;
        }
    }
    Job job = std::move(next->job);
    m_waiting.erase(next);
    return job;
}

void CostlyDecodeQueue::drawing(const QUrl &url)
{
    const std::lock_guard lock(m_mutex);
    m_drawnAt.insert(url, ++m_clock);
}

void CostlyDecodeQueue::forget(const QUrl &url)
{
    const std::lock_guard lock(m_mutex);
    m_drawnAt.remove(url);
}

} // namespace tolvaran::markdown
