#include "platform/FreedMemory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace tolvaran;

namespace {

// Background jobs of their own (a token pass, a project refresh) may finish together, so the
// first release in a process can come from several threads at once. Each child process below
// makes that first call from every thread released together: a fault that depends on it
// shows in some of them, not in every one.
constexpr int childProcesses = 12;
constexpr int threadsPerChild = 8;

void releaseFromManyThreadsAtOnce()
{
    std::atomic<int> waiting{threadsPerChild};
    std::vector<std::thread> threads;
    for (int index = 0; index < threadsPerChild; ++index) {
        threads.emplace_back([&waiting] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) {
            }
            releaseFreedMemory();
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    std::exit(0);
}

} // namespace

TEST(FreedMemoryDeathTest, aFirstReleaseFromManyThreadsAtOnceIsSafe)
{
    // Each statement runs in a fresh process: only there is the call the first one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int child = 0; child < childProcesses; ++child)
        EXPECT_EXIT(releaseFromManyThreadsAtOnce(), ::testing::ExitedWithCode(0), "")
            << "child " << child;
}
