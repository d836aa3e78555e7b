#pragma once

#include "platform/Timestamp.h"

#include <QObject>

#include <chrono>
#include <functional>

namespace tolvaran {

// The coordinator's sense of time: the current time, and running something later on the GUI
// thread. Tests replace both with a clock they move by hand.
struct CoordinatorClock
{
    using Delayed = std::function<void(QObject *context, std::chrono::milliseconds delay,
                                       std::function<void()> function)>;

    // Now, by the system clock.
    std::function<Timestamp()> now = &Timestamp::now;
    // Runs `function` on the thread of `context` after `delay`, unless `context` is gone by
    // then (a single-shot timer by default).
    Delayed runAfter = &CoordinatorClock::systemRunAfter;

    static void systemRunAfter(QObject *context, std::chrono::milliseconds delay,
                               std::function<void()> function);
};

} // namespace tolvaran
