#pragma once

#include "work/WorkProgress.h"

#include <chrono>
#include <functional>
#include <stop_token>
#include <utility>

namespace tolvaran {

// What a running job sees of its work: whether it has been asked to stop, and a way to report
// progress. Long loops check stopRequested() between steps; blocking calls take stopToken()
// (a child process is killed as soon as a stop is requested, see ProcessRequest).
class WorkContext final
{
public:
    WorkContext() = default;
    WorkContext(std::stop_token stopToken, std::function<void(const WorkProgress &)> progress)
        : m_stopToken(std::move(stopToken))
        , m_progress(std::move(progress))
    {
    }

    const std::stop_token &stopToken() const { return m_stopToken; }
    bool stopRequested() const { return m_stopToken.stop_requested(); }

    // Hands `progress` to the receiver's thread; dropped when nobody listens.
    void reportProgress(const WorkProgress &progress) const
    {
        if (m_progress)
            m_progress(progress);
    }

    // Sleeps for `duration` unless a stop is requested first; false when it was.
    bool sleepFor(std::chrono::milliseconds duration) const;

private:
    std::stop_token m_stopToken;
    std::function<void(const WorkProgress &)> m_progress;
};

// Sleeps for `duration` unless a stop is requested through `stopToken` first; false when it
// was. For polling loops that wait on something outside the program (a process quitting).
bool sleepUnlessStopped(const std::stop_token &stopToken, std::chrono::milliseconds duration);

} // namespace tolvaran
