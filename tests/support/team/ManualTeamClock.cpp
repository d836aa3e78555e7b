#include "support/team/ManualTeamClock.h"

#include <algorithm>

namespace tolvaran::fixtures {

TeamClock::WaitID ManualTeamClock::wait(Duration delay, std::function<void()> fire)
{
    const WaitID id = ++m_lastID;
    m_waits.emplace(std::make_pair(m_now + std::max(delay, Duration(0)), id), std::move(fire));
    return id;
}

void ManualTeamClock::cancel(WaitID id)
{
    std::erase_if(m_waits, [id](const auto &entry) { return entry.first.second == id; });
}

void ManualTeamClock::advance(Duration step)
{
    const Duration target = m_now + step;
    while (!m_waits.empty() && m_waits.begin()->first.first <= target) {
        auto first = m_waits.begin();
        m_now = first->first.first;
        std::function<void()> fire = std::move(first->second);
        m_waits.erase(first);
        fire();
    }
    m_now = target;
}

} // namespace tolvaran::fixtures
