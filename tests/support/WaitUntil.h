#pragma once

#include <chrono>
#include <functional>

namespace tolvaran::fixtures {

// How long a test waits for an outcome that takes a file-system event, a debounce and a
// background job: generous, because a loaded machine (sanitizers, parallel tests) is slow.
inline constexpr std::chrono::milliseconds outcomeDeadline{15000};

// Runs the event loop (timers, queued calls from background jobs) until `predicate` holds or
// `timeout` has passed; returns whether it holds.
bool waitUntil(const std::function<bool()> &predicate,
               std::chrono::milliseconds timeout = outcomeDeadline);

// Runs the event loop until the calls queued on this thread so far have run, and what those
// queue in turn, `turns` deep: for tests that check that the work in hand changes nothing
// more, without waiting a fixed time.
void runQueuedWork(int turns = 3);

// Runs the event loop for `duration`: for tests that check that something does not happen
// where no later event can show that it would have happened by then (a process started by a
// background job, a request on a connection of its own).
void processEventsFor(std::chrono::milliseconds duration);

} // namespace tolvaran::fixtures
