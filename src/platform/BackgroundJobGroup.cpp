#include "platform/BackgroundJobGroup.h"

namespace tolvaran {

BackgroundJobGroup::BackgroundJobGroup(QObject *receiver)
    : m_receiver(receiver)
{
}

BackgroundJobGroup::~BackgroundJobGroup()
{
    waitForAll();
}

void BackgroundJobGroup::waitForAll()
{
    std::unique_lock lock(m_state->mutex);
    m_state->idle.wait(lock, [this] { return m_state->running == 0; });
}

void BackgroundJobGroup::begin()
{
    std::lock_guard lock(m_state->mutex);
    ++m_state->running;
}

void BackgroundJobGroup::end(State &state)
{
    std::lock_guard lock(state.mutex);
    if (--state.running == 0)
        state.idle.notify_all();
}

} // namespace tolvaran
