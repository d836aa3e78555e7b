#include "work/ForEachSideBySide.h"

#include "support/HelperThreadKeep.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace tolvaran {
namespace {

TEST(ForEachSideBySide, runsEveryItemExactlyOnceWhateverTheThreads)
{
    for (const auto &[count, threads] : {std::pair<size_t, size_t>{0, 4}, {1, 4}, {3, 0},
                                         {5, 1}, {1000, 4}, {7, 16}}) {
        std::vector<std::atomic<int>> runs(count);
        forEachSideBySide(count, threads, [&runs](size_t i) { ++runs[i]; });
        for (size_t i = 0; i < count; ++i)
            EXPECT_EQ(runs[i].load(), 1) << "item " << i << " of " << count;
    }
}

// Each item waits for the other to begin: one thread alone would wait in vain.
TEST(ForEachSideBySide, sharesTheItemsWithAHelper)
{
    std::mutex mutex;
    std::condition_variable changed;
    int begun = 0;
    std::atomic<int> metTheOther = 0;
    forEachSideBySide(2, 2, [&](size_t) {
        std::unique_lock lock(mutex);
        ++begun;
        changed.notify_all();
        if (changed.wait_for(lock, 15s, [&] { return begun == 2; }))
            ++metTheOther;
    });
    EXPECT_EQ(metTheOther.load(), 2);
}

// Loops within loops, more than there are helpers: the helpers are all busy with the outer
// items, so the inner loops' calling threads do their items themselves.
TEST(ForEachSideBySide, loopsWithinLoopsFinishWhileEveryHelperIsBusy)
{
    constexpr size_t outer = 64;
    constexpr size_t inner = 50;
    std::vector<std::atomic<int>> runs(outer * inner);
    forEachSideBySide(outer, outer, [&](size_t i) {
        forEachSideBySide(inner, 8, [&](size_t k) { ++runs[i * inner + k]; });
    });
    for (size_t i = 0; i < runs.size(); ++i)
        EXPECT_EQ(runs[i].load(), 1) << "item " << i;
}

// Letting idle helpers go ends their threads, and what they kept per thread with them; while
// a loop runs on another thread its helpers stay, and nobody waits for it.
TEST(ForEachSideBySide, releasingIdleHelpersEndsThemWithWhatTheyKeptUnlessALoopRuns)
{
    // Helpers that kept one in an earlier test go first: the loop below need not run on them,
    // and they would be counted besides.
    ASSERT_TRUE(releaseIdleSideBySideHelpers());
    ASSERT_TRUE(fixtures::keepOnAHelper());
    const int keptHere = 1; // the calling thread's own, which lives on
    ASSERT_EQ(fixtures::keptOnThreads(), keptHere + 1);

    std::mutex mutex;
    std::condition_variable changed;
    bool running = false;
    bool finish = false;
    std::thread other([&] {
        forEachSideBySide(2, 2, [&](size_t) {
            std::unique_lock lock(mutex);
            running = true;
            changed.notify_all();
            changed.wait_for(lock, 15s, [&] { return finish; });
        });
    });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 15s, [&] { return running; }));
    }
    EXPECT_FALSE(releaseIdleSideBySideHelpers());
    EXPECT_EQ(fixtures::keptOnThreads(), keptHere + 1);
    {
        const std::lock_guard lock(mutex);
        finish = true;
        changed.notify_all();
    }
    other.join();

    EXPECT_TRUE(releaseIdleSideBySideHelpers());
    EXPECT_EQ(fixtures::keptOnThreads(), keptHere);
    // Later loops find helpers again.
    EXPECT_TRUE(fixtures::keepOnAHelper());
}

} // namespace
} // namespace tolvaran
