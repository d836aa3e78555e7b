#include "support/HelperThreadKeep.h"

#include "support/WaitUntil.h"
#include "work/ForEachSideBySide.h"

#include <QThreadStorage>

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

// Qt's own storage, as its font caches use: what a thread of Qt's keeps there goes before the
// thread counts as finished, where a C++ thread_local would go only after.
QThreadStorage<KeptOnThread *> keptOnThread;

} // namespace

bool keepOnAHelper()
{
    std::mutex mutex;
    std::condition_variable changed;
    int begun = 0;
    std::atomic<int> met = 0;
    forEachSideBySide(2, 2, [&](std::size_t) {
        if (!keptOnThread.hasLocalData())
            keptOnThread.setLocalData(new KeptOnThread);
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
