#include "work/QueuedCall.h"

#include <QMetaObject>
#include <QObject>

namespace tolvaran {

QueuedCall::QueuedCall(QObject *context, std::function<void()> function)
    : m_context(context)
    , m_function(std::move(function))
{
}

void QueuedCall::schedule()
{
    if (m_isScheduled)
        return;
    m_isScheduled = true;
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            // Cleared first: a request made by the function itself schedules one more turn.
            m_isScheduled = false;
            m_function();
        },
        Qt::QueuedConnection);
}

} // namespace tolvaran
