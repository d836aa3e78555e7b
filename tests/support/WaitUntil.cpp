#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>

namespace tolvaran::fixtures {

bool waitUntil(const std::function<bool()> &predicate, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    while (!predicate()) {
        if (deadline.hasExpired())
            return predicate();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void runQueuedWork(int turns)
{
    for (int turn = 0; turn < turns; ++turn) {
        // Posted after everything queued so far, so it runs after it.
        bool reached = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&reached] { reached = true; }, Qt::QueuedConnection);
        while (!reached)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void processEventsFor(std::chrono::milliseconds duration)
{
    const QDeadlineTimer deadline(duration);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

} // namespace tolvaran::fixtures
