#include "data/token_usage/UsageEventHourIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tolvaran::Internal {

qint64 UsageEventHourIndex::hourOf(double date)
{
    // Far beyond any real date, every hour is one: the index then only costs more visits.
    constexpr double limit = 1e15;
    return qint64(std::floor(std::clamp(date, -limit, limit) / secondsPerHour));
}

void UsageEventHourIndex::add(std::uint32_t position, double date)
{
    if (!std::isfinite(date))
        return;
    const qint64 hour = hourOf(date);
    if (!m_lastHour || hour != m_lastHourKey) {
        m_lastHour = &m_hours[hour]; // elements of a map stay where they are
        m_lastHourKey = hour;
    }
    m_lastHour->push_back(position);
}

void UsageEventHourIndex::clear()
{
    m_hours.clear();
    m_lastHour = nullptr;
}

} // namespace tolvaran::Internal
