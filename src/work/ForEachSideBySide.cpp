#include "work/ForEachSideBySide.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace tolvaran::Internal {

QThreadPool &sideBySideHelpers()
{
    // Its thread count is the number of cores (Qt's ideal count) unless changed.
    static QThreadPool pool;
    // The helpers end with the application object, as those of Qt's global pool do: what
    // they keep per thread (fonts of the blocks they laid out) needs Qt still there to go.
    static const bool endsWithTheApplication = [] {
        qAddPostRoutine([] { sideBySideHelpers().waitForDone(); });
        return true;
    }();
    Q_UNUSED(endsWithTheApplication);
    return pool;
}

namespace {

// What the helpers are doing: the loops not ended yet, and the helper jobs started and not
// yet returned (those of ended loops among them, which find nothing left to do).
struct HelperActivity
{
    std::mutex mutex;
    std::condition_variable jobEnded; // or a loop began
    int runningLoops = 0;
    int jobsInFlight = 0;
};

HelperActivity &helperActivity()
{
    static HelperActivity activity;
    return activity;
}

// One loop as its threads share it. A helper that starts after the loop ended finds no item
// left and touches nothing but this (which it holds a share of): never `work`, whose owner
// may be gone by then.
struct Loop
{
    const std::function<void(std::size_t)> *work = nullptr;
    std::size_t count = 0;
    std::atomic<std::size_t> next = 0;
    std::atomic<std::size_t> done = 0;
    std::mutex mutex;
    std::condition_variable finished;

    void drain()
    {
        for (std::size_t i = next++; i < count; i = next++) {
            (*work)(i);
            if (++done == count) {
                const std::lock_guard lock(mutex);
                finished.notify_all();
            }
        }
    }
};

} // namespace

void runSideBySide(std::size_t count, std::size_t threads,
                   const std::function<void(std::size_t)> &work)
{
    auto loop = std::make_shared<Loop>();
    loop->work = &work;
    loop->count = count;
    QThreadPool &pool = sideBySideHelpers();
    const std::size_t threadsUsed =
        std::min({threads, count, std::size_t(std::max(pool.maxThreadCount(), 0)) + 1});
    const std::size_t helpers = threadsUsed > 0 ? threadsUsed - 1 : 0;
    HelperActivity &activity = helperActivity();
    {
        const std::lock_guard lock(activity.mutex);
        ++activity.runningLoops;
        activity.jobsInFlight += int(helpers);
        activity.jobEnded.notify_all(); // a release waiting for late helpers gives up
    }
    for (std::size_t helper = 0; helper < helpers; ++helper) {
        pool.start([loop, &activity] {
            loop->drain();
            const std::lock_guard lock(activity.mutex);
            --activity.jobsInFlight;
            activity.jobEnded.notify_all();
        });
    }
    loop->drain();
    {
        std::unique_lock lock(loop->mutex);
        loop->finished.wait(lock, [&] { return loop->done == loop->count; });
    }
    const std::lock_guard lock(activity.mutex);
    --activity.runningLoops;
}

bool endIdleHelpers(std::chrono::milliseconds bound)
{
    HelperActivity &activity = helperActivity();
    {
        std::unique_lock lock(activity.mutex);
        // Another loop's helpers are at work: they are kept, and nobody waits for them.
        if (activity.runningLoops > 0)
            return false;
        // Helpers of ended loops that have not begun yet find nothing to do once they do;
        // they need only be given a thread. A loop that begins meanwhile is not waited for.
        const bool idle = activity.jobEnded.wait_for(lock, bound, [&] {
            return activity.jobsInFlight == 0 || activity.runningLoops > 0;
        });
        if (!idle || activity.runningLoops > 0)
            return false;
    }
    // Their jobs have returned; the pool notes the threads idle just after. Only a loop that
    // begins in this very moment would be waited for, within the bound.
    return sideBySideHelpers().waitForDone(int(bound.count()));
}

} // namespace tolvaran::Internal

namespace tolvaran {

bool releaseIdleSideBySideHelpers()
{
    // Late helpers need only be given a thread, which a heavily loaded machine may take a
    // while to do.
    constexpr std::chrono::milliseconds longestWait{2000};
    return Internal::endIdleHelpers(longestWait);
}

} // namespace tolvaran
