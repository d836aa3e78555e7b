#pragma once

#include "platform/BackgroundJob.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace tolvaran {

// The background jobs of one GUI-thread object (a model object), whose results are handed
// back to it. A job runs on the thread pool and sees only what it was given; its result is
// delivered on the receiver's thread in a later turn of the event loop, and is dropped when the
// receiver is gone by then.
//
// Destroying the group waits for every job it started: jobs use stores that the receiver's
// owner destroys after the receiver, so none may still run then. Jobs are bounded (git has a
// time limit, an index pass a batch limit), so the wait is short.
class BackgroundJobGroup final
{
public:
    explicit BackgroundJobGroup(QObject *receiver);
    ~BackgroundJobGroup();
    BackgroundJobGroup(const BackgroundJobGroup &) = delete;
    BackgroundJobGroup &operator=(const BackgroundJobGroup &) = delete;

    // Runs `job` at `priority` and hands its result to `deliver` on the receiver's thread.
    // `job` must not throw: it catches its own errors and returns them as part of its result.
    template <typename Result>
    void run(JobPriority priority, std::function<Result()> job,
             std::function<void(Result)> deliver)
    {
        begin();
        runInBackground(priority, [state = m_state, receiver = m_receiver, job = std::move(job),
                                   deliver = std::move(deliver)]() mutable {
            // The receiver outlives this job (its group waits for it), so posting to it is
            // safe; a delivery still queued when it is destroyed is discarded with it.
            Result result = job();
            postTo(receiver, [deliver = std::move(deliver), result = std::move(result)]() mutable {
                deliver(std::move(result));
            });
            end(*state);
        });
    }

    // Waits until every job started so far has ended (their deliveries may still be queued).
    void waitForAll();

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable idle;
        int running = 0;
    };

    void begin();
    static void end(State &state);

    QObject *const m_receiver;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace tolvaran
