#pragma once

#include "team/presence/TeamClock.h"

#include <map>
#include <utility>

namespace tolvaran::fixtures {

// A team clock that moves only when the test says so: minutes of back-off and heartbeats pass
// in an instant, while the socket's own traffic still runs on the real event loop.
class ManualTeamClock final : public TeamClock
{
public:
    Duration now() const override { return m_now; }
    WaitID wait(Duration delay, std::function<void()> fire) override;
    void cancel(WaitID id) override;

    // Moves time forward by `step`, firing every wait that falls due on the way in the order
    // of their due times (equal times in the order they were made), each at its own time.
    void advance(Duration step);
    // Waits not yet fired or cancelled.
    int pendingWaits() const { return int(m_waits.size()); }

private:
    Duration m_now{0};
    WaitID m_lastID = 0;
    // By (due time, id).
    std::map<std::pair<Duration, WaitID>, std::function<void()>> m_waits;
};

} // namespace tolvaran::fixtures
