#pragma once

#include <atomic>
#include <memory>
#include <stop_token>

namespace tolvaran {

namespace Internal {
struct WorkState
{
    std::stop_source stopSource;
    std::atomic<bool> finished = false;
};
} // namespace Internal

// One started piece of work, as its starter holds it: ask it to stop, see whether it ended.
// Copies refer to the same work; a default handle refers to none.
class WorkHandle final
{
public:
    WorkHandle() = default;
    explicit WorkHandle(std::shared_ptr<Internal::WorkState> state)
        : m_state(std::move(state))
    {
    }

    bool isValid() const { return m_state != nullptr; }
    // Asks the job to stop. Its result is still delivered (a job that stops early says so in
    // its result), unless the receiver is gone.
    void cancel()
    {
        if (m_state)
            m_state->stopSource.request_stop();
    }
    bool isCancelled() const { return m_state && m_state->stopSource.stop_requested(); }
    // True once the job's function has returned (its delivery may still be queued).
    bool isFinished() const { return m_state && m_state->finished.load(); }

private:
    std::shared_ptr<Internal::WorkState> m_state;
};

} // namespace tolvaran
