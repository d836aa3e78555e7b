#include "work/ForEachSideBySide.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
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
    for (std::size_t helper = 0; helper < helpers; ++helper)
        pool.start([loop] { loop->drain(); });
    loop->drain();
    std::unique_lock lock(loop->mutex);
    loop->finished.wait(lock, [&] { return loop->done == loop->count; });
}

} // namespace tolvaran::Internal
