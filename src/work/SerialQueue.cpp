#include "work/SerialQueue.h"

#include <future>

namespace tolvaran {

SerialQueue::SerialQueue(QString label)
    : m_label(std::move(label))
    , m_worker([this](std::stop_token stop) { run(stop); })
{
}

SerialQueue::~SerialQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.clear();
    }
    m_worker.request_stop();
    m_wake.notify_all();
    m_worker.join();
}

void SerialQueue::async(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void SerialQueue::sync(const std::function<void()> &job)
{
    if (isCurrent()) {
        job();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    async([&] {
        job();
        done.set_value();
    });
    finished.wait();
}

void SerialQueue::drain()
{
    sync([] {});
}

bool SerialQueue::isCurrent() const
{
    return std::this_thread::get_id() == m_worker.get_id();
}

void SerialQueue::run(std::stop_token stop)
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, stop, [this] { return !m_jobs.empty(); });
            if (stop.stop_requested())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

} // namespace tolvaran
