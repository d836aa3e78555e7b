#pragma once

#include "work/BackgroundJob.h"
#include "work/WorkContext.h"
#include "work/WorkHandle.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <utility>

namespace tolvaran {

// The one way the program runs slow work: the background jobs of one GUI-thread object (the
// receiver), each cancellable, able to report progress, and with its result handed back on the
// receiver's thread.
//
// Deliveries (results and progress) reach the receiver only while this group lives: the group
// is a member of the receiver (or of something the receiver outlives), and its destructor
// closes the door before anything is torn down, so no job ever touches a destroyed object.
//
// Destroying the group asks every job to stop and then waits for them to return. Jobs check
// their stop token (child processes are killed the moment a stop is requested), so the wait is
// the time a job takes to notice, not the time its work would have taken; it is needed because
// jobs use stores that the receiver's owner destroys after the receiver.
class WorkGroup final
{
public:
    explicit WorkGroup(QObject *receiver);
    ~WorkGroup();
    WorkGroup(const WorkGroup &) = delete;
    WorkGroup &operator=(const WorkGroup &) = delete;

    // Runs `job` at `priority` and hands its result to `deliver` on the receiver's thread.
    // `job` must not throw: it catches its own errors and returns them in its result. When it
    // sees a stop request it returns early, with whatever result says so.
    template <typename Result>
    WorkHandle run(JobPriority priority, std::function<Result(const WorkContext &)> job,
                   std::function<void(Result)> deliver,
                   std::function<void(const WorkProgress &)> progress = {})
    {
        auto work = begin();
        auto shared = m_shared;
        WorkContext context(work->stopSource.get_token(), progressForwarder(progress));
        runInBackground(priority, [shared, work, context = std::move(context),
                                   job = std::move(job), deliver = std::move(deliver)]() mutable {
            Result result = job(context);
            Shared::post(shared, [deliver = std::move(deliver),
                                  result = std::move(result)]() mutable {
                if (deliver)
                    deliver(std::move(result));
            });
            Shared::end(shared, work);
        });
        return WorkHandle(std::move(work));
    }

    // Runs `job` with nothing to deliver (a save whose outcome nobody waits for).
    WorkHandle run(JobPriority priority, std::function<void(const WorkContext &)> job);

    // Hands `function` to the receiver's thread in a later turn, unless the group is gone by
    // then. For jobs that deliver more than one result, from inside the job.
    void post(std::function<void()> function) { Shared::post(m_shared, std::move(function)); }

    // Asks every running job to stop.
    void cancelAll();
    // Waits until every job started so far has returned (their deliveries may still be queued).
    void waitForAll();
    int runningCount() const;

private:
    struct Shared
    {
        QObject *receiver = nullptr;
        mutable std::mutex mutex;
        std::condition_variable idle;
        std::list<std::shared_ptr<Internal::WorkState>> running;
        bool open = true;

        static void post(const std::shared_ptr<Shared> &shared, std::function<void()> function);
        static void end(const std::shared_ptr<Shared> &shared,
                        const std::shared_ptr<Internal::WorkState> &work);
    };

    std::shared_ptr<Internal::WorkState> begin();
    std::function<void(const WorkProgress &)>
    progressForwarder(std::function<void(const WorkProgress &)> progress) const;

    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};

} // namespace tolvaran
