#include "remote_image/CostlyDecodeQueue.h"

#include <algorithm>
#include <utility>

namespace tolvaran::markdown {

void CostlyDecodeQueue::add(const QUrl &url, quint64 asked, Job job)
{
    const std::lock_guard lock(m_mutex);
    m_waiting.push_back({url, asked, std::move(job)});
}

CostlyDecodeQueue::Job CostlyDecodeQueue::takeNext()
{
    const std::lock_guard lock(m_mutex);
    if (m_waiting.empty())
        return {};
    const auto goesBefore = [this](const Waiting &one, const Waiting &other) {
        const quint64 oneDrawn = m_drawnAt.value(one.url);
        const quint64 otherDrawn = m_drawnAt.value(other.url);
        return oneDrawn != otherDrawn ? oneDrawn > otherDrawn : one.asked < other.asked;
    };
    const auto next = std::min_element(m_waiting.begin(), m_waiting.end(), goesBefore);
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
