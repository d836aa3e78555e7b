#include "work/WorkContext.h"

#include <condition_variable>
#include <mutex>

namespace tolvaran {

bool WorkContext::sleepFor(std::chrono::milliseconds duration) const
{
    return sleepUnlessStopped(m_stopToken, duration);
}

bool sleepUnlessStopped(const std::stop_token &stopToken, std::chrono::milliseconds duration)
{
    if (stopToken.stop_requested())
        return false;
    std::mutex mutex;
    std::condition_variable_any wakeUp;
    std::unique_lock lock(mutex);
    // Wakes early only through the token; a default token never stops, so this is a plain sleep.
    wakeUp.wait_for(lock, stopToken, duration, [] { return false; });
    return !stopToken.stop_requested();
}

} // namespace tolvaran
