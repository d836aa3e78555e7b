#pragma once

#include "coordinator/CoordinatorClock.h"
#include "platform/Timestamp.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

namespace tolvaran {

// Runs a function once when the coordinator's clock reaches a moment: the end of a token-usage
// window, the next look at a turn that may have died. Setting a new moment replaces the old
// one. A timer counts elapsed time, which stops while the machine sleeps, so a long wait is
// taken in steps of at most `maximumWait`, each one checking the clock again: a day that began
// during a suspend is noticed soon after waking.
//
// Lives on the thread of `context` and must not outlive it.
class CoordinatorAlarm final
{
public:
    static constexpr std::chrono::minutes maximumWait{5};

    CoordinatorAlarm(QObject *context, CoordinatorClock clock, std::function<void()> ring);
    CoordinatorAlarm(const CoordinatorAlarm &) = delete;
    CoordinatorAlarm &operator=(const CoordinatorAlarm &) = delete;

    // Rings at `moment` (at once when it has passed); nothing clears it.
    void setAt(std::optional<Timestamp> moment);
    const std::optional<Timestamp> &moment() const { return m_moment; }

private:
    void arm();

    QObject *m_context;
    CoordinatorClock m_clock;
    std::function<void()> m_ring;
    std::optional<Timestamp> m_moment;
    quint64 m_generation = 0; // a step of an older setting finds it changed and does nothing
};

} // namespace tolvaran
