#include "coordinator/CoordinatorAlarm.h"

#include <algorithm>
#include <cmath>

namespace tolvaran {

CoordinatorAlarm::CoordinatorAlarm(QObject *context, CoordinatorClock clock,
                                   std::function<void()> ring)
    : m_context(context)
    , m_clock(std::move(clock))
    , m_ring(std::move(ring))
{
}

void CoordinatorAlarm::setAt(std::optional<Timestamp> moment)
{
    if (moment == m_moment)
        return;
    m_moment = moment;
    ++m_generation;
    if (m_moment)
        arm();
}

void CoordinatorAlarm::arm()
{
    const double seconds = m_moment->seconds - m_clock.now().seconds;
    const double longest = double(std::chrono::seconds(maximumWait).count());
    const double wait = std::clamp(seconds, 0.0, longest);
    const auto delay = std::chrono::milliseconds(qint64(std::ceil(wait * 1000.0)));
    m_clock.runAfter(m_context, delay, [this, generation = m_generation] {
        if (generation != m_generation || !m_moment)
            return;
        if (m_clock.now() < *m_moment) {
            arm();
            return;
        }
        m_moment.reset();
        ++m_generation;
        m_ring();
    });
}

} // namespace tolvaran
