#include "remote_image/CostlyDecodeQueue.h"

#include <algorithm>
#include <utility>

namespace tolvaran::markdown {

namespace {

// The ranks of the pictures not in view; those in view rank above both, by when they were
// drawn.
constexpr quint64 leftRank = 0;
constexpr quint64 neverDrawnRank = 1;

} // namespace

void CostlyDecodeQueue::add(const QUrl &url, quint64 asked, Job job)
{
    const std::lock_guard lock(m_mutex);
    m_waiting.push_back({url, asked, std::move(job)});
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
    const auto goesBefore = [this](const Waiting &one, const Waiting &other) {
        const quint64 oneRank = rank(one.url);
        const quint64 otherRank = rank(other.url);
        return oneRank != otherRank ? oneRank > otherRank : one.asked < other.asked;
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
