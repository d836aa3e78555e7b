#pragma once

#include <functional>

class QObject;

namespace tolvaran {

// Runs a function once, on a later turn of its context's event loop, however often it is
// asked to before that turn comes: a burst of change announcements costs one render. A request
// made while the function runs is honoured on the turn after. A call still waiting when the
// context is destroyed never runs. Keep it as a member of its context.
class QueuedCall final
{
public:
    QueuedCall(QObject *context, std::function<void()> function);

    QueuedCall(const QueuedCall &) = delete;
    QueuedCall &operator=(const QueuedCall &) = delete;

    void schedule();
    bool isScheduled() const { return m_isScheduled; }

private:
    QObject *m_context;
    std::function<void()> m_function;
    bool m_isScheduled = false;
};

} // namespace tolvaran
