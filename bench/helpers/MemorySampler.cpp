#include "helpers/MemorySampler.h"

#include "helpers/ResidentSet.h"

#include <algorithm>
#include <chrono>

namespace tolvaran::fixtures::bench {

MemorySampler::MemorySampler()
    : m_start(residentSet().current)
    , m_peak(m_start)
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] { sample(); });
    m_timer.start(std::chrono::milliseconds(5));
}

void MemorySampler::sample()
{
    m_peak = std::max(m_peak, residentSet().current);
}

} // namespace tolvaran::fixtures::bench
