#include "support/MemorySampler.h"

#include "support/ResidentSet.h"

#include <algorithm>
#include <chrono>

namespace tolvaran::fixtures {

MemorySampler::MemorySampler()
    : m_start(heldMemoryBytes())
    , m_peak(m_start)
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] { sample(); });
    m_timer.start(std::chrono::milliseconds(5));
}

void MemorySampler::sample()
{
    m_peak = std::max(m_peak, heldMemoryBytes());
}

} // namespace tolvaran::fixtures
