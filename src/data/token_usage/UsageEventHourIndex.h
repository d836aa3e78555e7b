#pragma once

#include <QtGlobal>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace tolvaran::Internal {

// The positions of events in a list by the hour (since 1970, UTC) of their dates, so that the
// events of a stretch of time are found without looking at the others: as the clock moves,
// only the events that leave or enter a window are visited. Within an hour, positions are in
// the order added. Dates that are not finite are not indexed (they fall in no window).
class UsageEventHourIndex final
{
public:
    void add(std::uint32_t position, double date);
    void clear();

    // Calls `visit(position)` for every event dated in [from, to), hour by hour, within an
    // hour in the order added; events of the hours at both ends that lie outside the stretch
    // are among them, for `visit` to tell apart by date.
    template <typename Visit>
    void forEachInHoursOf(double from, double to, const Visit &visit) const
    {
        if (!(from < to))
            return;
        // An hour more at both ends: the division that finds an hour may round.
        for (auto it = m_hours.lower_bound(hourOf(from) - 1); it != m_hours.end(); ++it) {
            if (double(it->first - 1) * secondsPerHour >= to)
                return;
            for (const std::uint32_t position : it->second)
                visit(position);
        }
    }

    // The positions for which `qualifies(position)` holds in the earliest hour, from the one
    // holding `date` on, that has one, and in the hour after it: among them is the earliest
    // qualifying event. `qualifies` must go with the date: once it holds for an event, it
    // holds for every later one.
    template <typename Qualifies>
    std::vector<std::uint32_t> firstQualifyingHours(double date,
                                                    const Qualifies &qualifies) const
    {
        std::vector<std::uint32_t> found;
        int hoursAfterFirst = -1;
        // An hour back, as above; and the hour after, in case the division put an event of
        // the first hour there.
        for (auto it = m_hours.lower_bound(hourOf(date) - 1);
             it != m_hours.end() && hoursAfterFirst < 1; ++it) {
            for (const std::uint32_t position : it->second) {
                if (qualifies(position))
                    found.push_back(position);
            }
            if (!found.empty())
                ++hoursAfterFirst;
        }
        return found;
    }

private:
    static constexpr double secondsPerHour = 3600.0;
    static qint64 hourOf(double date);

    std::map<qint64, std::vector<std::uint32_t>> m_hours;
    // Events come in runs of one rollout, dated close together: the last hour is the likeliest.
    std::vector<std::uint32_t> *m_lastHour = nullptr;
    qint64 m_lastHourKey = 0;
};

} // namespace tolvaran::Internal
