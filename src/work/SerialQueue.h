#pragma once

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tolvaran {

// A labelled queue that runs its jobs one after another, in the order given, on one worker
// thread of its own. Used where work must be serialised (a monitor's event handling, the
// metadata cache's writes). Destroying the queue drops the jobs not yet started, waits for
// the running one and joins the thread.
class SerialQueue final
{
public:
    explicit SerialQueue(QString label);
    ~SerialQueue();
    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    const QString &label() const { return m_label; }

    void async(std::function<void()> job);
    // Runs `job` on the queue after everything queued before it and waits for it to end.
    void sync(const std::function<void()> &job);
    // Waits until every job queued so far has run.
    void drain();
    // Whether the caller runs on this queue's worker thread.
    bool isCurrent() const;

private:
    void run(std::stop_token stop);

    const QString m_label;
    mutable std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::deque<std::function<void()>> m_jobs;
    std::jthread m_worker;
};

} // namespace tolvaran
