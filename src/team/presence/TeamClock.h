#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>

namespace tolvaran {

// The continuous clock and the waits of a team's presence service (the registration retry,
// the reconnection back-off, the heartbeat). Production uses systemClock(); tests hand the
// service a clock of their own so that minutes of back-off pass in an instant.
class TeamClock
{
public:
    using Duration = std::chrono::milliseconds;
    using WaitID = quint64;

    virtual ~TeamClock() = default;

    // A monotonic reading; only the difference between two readings means anything.
    virtual Duration now() const = 0;
    // Calls `fire` once, from the calling thread's event loop, `delay` from now, unless the
    // wait is cancelled first. Never calls it from inside this call.
    virtual WaitID wait(Duration delay, std::function<void()> fire) = 0;
    // Forgets a wait that has not fired; an unknown or fired ID is ignored.
    virtual void cancel(WaitID id) = 0;

    // The clock of the GUI thread's event loop (precise timers, no coalescing).
    static TeamClock &systemClock();
};

} // namespace tolvaran
