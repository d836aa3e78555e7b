#include "work/WorkGroup.h"

#include <QMetaObject>

#include <algorithm>

namespace tolvaran {

WorkGroup::WorkGroup(QObject *receiver, int ownThreads)
{
    m_shared->receiver = receiver;
    if (ownThreads > 0) {
        // Qt starts a pool's threads as jobs come, not here.
        m_ownThreads = std::make_unique<QThreadPool>();
        m_ownThreads->setMaxThreadCount(ownThreads);
    }
}

WorkGroup::~WorkGroup()
{
    {
        // Closing under the mutex: a job that is posting finishes its post first, and none
        // posts after this; a delivery already queued checks `open` again when it runs.
        std::lock_guard lock(m_shared->mutex);
        m_shared->open = false;
    }
    cancelAll();
    waitForAll();
}

WorkHandle WorkGroup::run(JobPriority priority, std::function<void(const WorkContext &)> job)
{
    return run<bool>(
        priority,
        [job = std::move(job)](const WorkContext &context) {
            job(context);
            return true;
        },
        {});
}

void WorkGroup::start(JobPriority priority, std::function<void()> job)
{
    if (m_ownThreads)
        m_ownThreads->start(std::move(job), int(priority));
    else
        runInBackground(priority, std::move(job));
}

void WorkGroup::cancelAll()
{
    std::lock_guard lock(m_shared->mutex);
    for (const auto &work : m_shared->running)
        work->stopSource.request_stop();
}

void WorkGroup::waitForAll()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->idle.wait(lock, [this] { return m_shared->running.empty(); });
}

int WorkGroup::runningCount() const
{
    std::lock_guard lock(m_shared->mutex);
    return int(m_shared->running.size());
}

std::shared_ptr<Internal::WorkState> WorkGroup::begin()
{
    auto work = std::make_shared<Internal::WorkState>();
    std::lock_guard lock(m_shared->mutex);
    if (!m_shared->open)
        work->stopSource.request_stop();
    m_shared->running.push_back(work);
    return work;
}

std::function<void(const WorkProgress &)>
WorkGroup::progressForwarder(std::function<void(const WorkProgress &)> progress) const
{
    if (!progress)
        return {};
    return [shared = m_shared, progress = std::move(progress)](const WorkProgress &value) {
        Shared::post(shared, [progress, value] { progress(value); });
    };
}

void WorkGroup::Shared::post(const std::shared_ptr<Shared> &shared, std::function<void()> function)
{
    std::lock_guard lock(shared->mutex);
    if (!shared->open)
        return;
    // The receiver lives while the group is open (the group dies first), so it is safe to
    // post to; Qt drops the call if the receiver is destroyed before it runs.
    QMetaObject::invokeMethod(
        shared->receiver,
        [shared, function = std::move(function)] {
            bool stillOpen = false;
            {
                std::lock_guard innerLock(shared->mutex);
                stillOpen = shared->open;
            }
            if (stillOpen)
                function();
        },
        Qt::QueuedConnection);
}

void WorkGroup::Shared::end(const std::shared_ptr<Shared> &shared,
                            const std::shared_ptr<Internal::WorkState> &work)
{
    work->finished = true;
    std::lock_guard lock(shared->mutex);
    shared->running.remove(work);
    if (shared->running.empty())
        shared->idle.notify_all();
}

} // namespace tolvaran
