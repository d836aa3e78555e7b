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

// How the program runs slow work: every slow step runs through one of these.
// - WorkGroup (here): the background jobs of one GUI-thread object, each cancellable and able
//   to report progress, their results handed back on that object's thread. The way for
//   anything a model object or view starts (refreshes, scans, saves, parses, decoding).
// - ForEachSideBySide: one job's loop over many independent items (stat calls, rollout
//   files, parts of an index, blocks of a document), split over helper threads with the
//   calling thread among them; returns when every item is done.
// - SerialQueue: jobs that must run one at a time in the order given, on one thread of the
//   queue's own (a file monitor's event handling, the metadata cache's writes).
// - QueuedCall: work on the GUI thread once per turn of its event loop, however often asked
//   (a burst of changes costs one render).
// - WorkContext, WorkHandle, WorkProgress: what a running job sees (its stop request, its
//   progress), what its starter holds (cancel, finished), and the progress it reports.
// - BackgroundJob (JobPriority, runInBackground, postTo): the layer the others are built on;
//   postTo also hands one call to an object's thread.
//
// The threads there are: the GUI thread (views, model objects, deliveries); Qt's global thread
// pool, one thread per core, ordered by JobPriority (the jobs of work groups); the side-by-side
// helpers, a pool of one thread per core (ForEachSideBySide); one thread for each SerialQueue;
// the threads of the groups that have their own (the image loader's decoding: two, and one for
// costly pictures); each file monitor's reader of inotify events; and Qt's own network
// thread. Nothing else uses a thread pool or starts a thread.

namespace tolvaran {

// The background jobs of one GUI-thread object (the receiver), each cancellable, able to
// report progress, and with its result handed back on the receiver's thread.
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
    // The jobs run on the program's thread pool, or, with `ownThreads` above 0, on that many
    // threads of the group's own (in the order started): for work that must neither wait
    // behind the program's other jobs nor hold them up, however many come at once.
    explicit WorkGroup(QObject *receiver, int ownThreads = 0);
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
        start(priority, [shared, work, context = std::move(context), job = std::move(job),
                         deliver = std::move(deliver)]() mutable {
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

    // Runs `job`, which uses nothing but what it holds (its own copy of its input), and hands
    // its result to `deliver` as run() does. It cannot be stopped, and the group's destructor
    // does not wait for it: its result is dropped when the group is gone by then.
    template <typename Result>
    void runSelfContained(JobPriority priority, std::function<Result()> job,
                          std::function<void(Result)> deliver)
    {
        start(priority, [shared = m_shared, job = std::move(job),
                         deliver = std::move(deliver)]() mutable {
            Shared::post(shared, [deliver = std::move(deliver), result = job()]() mutable {
                if (deliver)
                    deliver(std::move(result));
            });
        });
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
    void start(JobPriority priority, std::function<void()> job);
    std::function<void(const WorkProgress &)>
    progressForwarder(std::function<void(const WorkProgress &)> progress) const;

    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    // Destroyed after the destructor's wait, so it waits only for what that does not: the
    // last steps of jobs that have returned, and self-contained jobs.
    std::unique_ptr<QThreadPool> m_ownThreads;
};

} // namespace tolvaran
