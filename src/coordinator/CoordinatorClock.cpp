#include "coordinator/CoordinatorClock.h"

#include <QTimer>

namespace tolvaran {

void CoordinatorClock::systemRunAfter(QObject *context, std::chrono::milliseconds delay,
                                      std::function<void()> function)
{
    QTimer::singleShot(delay, context, std::move(function));
}

} // namespace tolvaran
