#include "remote_image/CostlyDecodeQueue.h"

#include <utility>

namespace tolvaran::markdown {

namespace {

// The ranks of the pictures not in view; those in view rank above both, by when they were
// drawn.
constexpr quint64 leftRank = 0;
constexpr quint64 neverDrawnRank = 1;

} // namespace

void CostlyDecodeQueue::add(const QUrl &url, Job job)
{
    const std::lock_guard lock(m_mutex);
    m_waiting.push_back({url, std::move(job)});
}

quint64 CostlyDecodeQueue::rank(const QUrl &url) const
{
    if (const auto drawn = m_drawnAt.constFind(url); drawn != m_drawnAt.cend())
        return neverDrawnRank + *drawn;
    return m_left.contains(url) ? leftRank : neverDrawnRank;
}

CostlyDecodeQueue::Job CostlyDecodeQueue::takeNext()
{
    const std::lock_guard lock(m_mutex);
    if (m_waiting.empty())
        return {};
    auto next = m_waiting.begin();
    quint64 highest = rank(next->url);
    for (auto waiting = next + 1; waiting != m_waiting.end(); ++waiting) {
        if (const quint64 waitingRank = rank(waiting->url); waitingRank > highest) {
            highest = waitingRank;
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
    m_left.remove(url);
}

void CostlyDecodeQueue::stoppedDrawing(const QUrl &url)
{
    const std::lock_guard lock(m_mutex);
    if (m_drawnAt.remove(url) > 0)
        m_left.insert(url);
}

void CostlyDecodeQueue::forget(const QUrl &url)
{
    const std::lock_guard lock(m_mutex);
    m_drawnAt.remove(url);
    m_left.remove(url);
}

} // namespace tolvaran::markdown
