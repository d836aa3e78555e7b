#include "support/HelperThreadKeep.h"

#include "support/WaitUntil.h"
#include "work/ForEachSideBySide.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace tolvaran::fixtures {

namespace {

std::atomic<int> kept = 0;

struct KeptOnThread
{
    KeptOnThread() { ++kept; }
    ~KeptOnThread() { --kept; }
};

} // namespace

bool keepOnAHelper()
{
    std::mutex mutex;
    std::condition_variable changed;
    int begun = 0;
    std::atomic<int> met = 0;
    forEachSideBySide(2, 2, [&](std::size_t) {
        thread_local KeptOnThread keptHere;
        std::unique_lock lock(mutex);
        ++begun;
        changed.notify_all();
        if (changed.wait_for(lock, outcomeDeadline, [&] { return begun == 2; }))
            ++met;
    });
    return met == 2;
}

int keptOnThreads()
{
    return kept;
}

} // namespace tolvaran::fixtures
