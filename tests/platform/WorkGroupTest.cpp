#include "work/WorkGroup.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QObject>

#include <QScopeGuard>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>

using namespace std::chrono_literals;

namespace tolvaran {
namespace {

// A receiver that owns its group, as every model object does.
class Receiver final : public QObject
{
public:
    WorkGroup work{this};
    QList<int> results;
    QList<WorkProgress> progress;
};

TEST(WorkGroup, deliversResultsAndProgressOnTheReceiversThread)
{
    Receiver receiver;
    receiver.work.run<int>(
        JobPriority::utility,
        [](const WorkContext &context) {
            context.reportProgress({0.5, QStringLiteral("half")});
            return 42;
        },
        [&](int value) {
            EXPECT_EQ(QThread::currentThread(), receiver.thread());
            receiver.results.append(value);
        },
        [&](const WorkProgress &value) { receiver.progress.append(value); });
    ASSERT_TRUE(fixtures::waitUntil([&] { return !receiver.results.isEmpty(); }));
    EXPECT_EQ(receiver.results, QList<int>{42});
    EXPECT_EQ(receiver.progress, (QList<WorkProgress>{{0.5, QStringLiteral("half")}}));
}

TEST(WorkGroup, cancellingOneJobStopsItAndStillDeliversWhatItSays)
{
    Receiver receiver;
    const WorkHandle handle = receiver.work.run<int>(
        JobPriority::utility,
        [](const WorkContext &context) {
            // Would sleep a minute unless stopped.
            return context.sleepFor(60s) ? 1 : -1;
        },
        [&](int value) { receiver.results.append(value); });
    WorkHandle(handle).cancel();
    ASSERT_TRUE(fixtures::waitUntil([&] { return !receiver.results.isEmpty(); }));
    EXPECT_EQ(receiver.results, QList<int>{-1});
    EXPECT_TRUE(handle.isCancelled());
    EXPECT_TRUE(handle.isFinished());
}

TEST(WorkGroup, destroyingTheReceiverStopsRunningJobsAndDropsTheirDeliveries)
{
    auto receiver = std::make_unique<Receiver>();
    auto delivered = std::make_shared<std::atomic<int>>(0);
    auto sawStop = std::make_shared<std::atomic<bool>>(false);
    auto started = std::make_shared<std::atomic<bool>>(false);
    receiver->work.run<int>(
        JobPriority::utility,
        [=](const WorkContext &context) {
            *started = true;
            *sawStop = !context.sleepFor(60s);
            return 0;
        },
        [=](int) { ++*delivered; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return started->load(); }));
    // Would wait a minute for the job if it did not stop it.
    receiver.reset();
    EXPECT_TRUE(sawStop->load());
    fixtures::runQueuedWork(); // the job has ended: anything it posted is queued by now
    EXPECT_EQ(delivered->load(), 0);
}

TEST(WorkGroup, aDeliveryQueuedBeforeTheReceiverWentIsDropped)
{
    auto receiver = std::make_unique<Receiver>();
    auto delivered = std::make_shared<std::atomic<int>>(0);
    receiver->work.run<int>(
        JobPriority::utility, [](const WorkContext &) { return 1; },
        [=](int) { ++*delivered; });
    receiver->work.waitForAll(); // the delivery is now queued, not yet run
    receiver.reset();
    fixtures::runQueuedWork();
    EXPECT_EQ(delivered->load(), 0);
}

TEST(WorkGroup, cancelAllReachesEveryRunningJob)
{
    Receiver receiver;
    constexpr int jobs = 3;
    for (int i = 0; i < jobs; ++i) {
        receiver.work.run<int>(
            JobPriority::background,
            [](const WorkContext &context) { return context.sleepFor(60s) ? 1 : 0; },
            [&](int value) { receiver.results.append(value); });
    }
    receiver.work.cancelAll();
    ASSERT_TRUE(fixtures::waitUntil([&] { return receiver.results.size() == jobs; }));
    EXPECT_EQ(receiver.results, QList<int>(jobs, 0));
    EXPECT_EQ(receiver.work.runningCount(), 0);
}

TEST(WorkGroup, aGroupWithThreadsOfItsOwnRunsThatManyAtOnceWhateverTheProgramsPoolDoes)
{
    // The program's pool is kept busy meanwhile: the group's jobs must not wait behind it.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    QThreadPool *programPool = QThreadPool::globalInstance();
    std::atomic<int> blocking = 0;
    for (int i = 0; i < programPool->maxThreadCount(); ++i) {
        runInBackground(JobPriority::userInitiated, [&] {
            ++blocking;
            std::unique_lock lock(mutex);
            released.wait_for(lock, 30s, [&] { return release; });
            --blocking;
        });
    }
    const auto releaseThePool = qScopeGuard([&] {
        {
            const std::lock_guard lock(mutex);
            release = true;
        }
        released.notify_all();
        ASSERT_TRUE(fixtures::waitUntil([&] { return blocking.load() == 0; }));
    });

    QObject receiver;
    std::atomic<int> running = 0;
    std::atomic<int> most = 0;
    QList<int> results;
    {
        WorkGroup own(&receiver, 2);
        for (int i = 0; i < 6; ++i) {
            own.run<int>(
                JobPriority::utility,
                [&, i](const WorkContext &context) {
                    const int now = ++running;
                    for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
                    }
                    context.sleepFor(100ms);
                    --running;
                    return i;
                },
                [&](int value) { results.append(value); });
        }
        ASSERT_TRUE(fixtures::waitUntil([&] { return results.size() == 6; }));
    }
    EXPECT_EQ(most.load(), 2);
    // Every job ran and delivered once.
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, QList<int>({0, 1, 2, 3, 4, 5}));
}

TEST(WorkGroup, aSelfContainedJobIsNotWaitedForAndItsResultDropsWithTheGroup)
{
    Receiver delivered;
    delivered.work.runSelfContained<int>(
        JobPriority::utility, [] { return 7; },
        [&](int value) { delivered.results.append(value); });
    ASSERT_TRUE(fixtures::waitUntil([&] { return !delivered.results.isEmpty(); }));
    EXPECT_EQ(delivered.results, QList<int>{7});

    auto gate = std::make_shared<std::promise<void>>();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto reached = std::make_shared<std::atomic<int>>(0);
    auto receiver = std::make_unique<Receiver>();
    receiver->work.runSelfContained<int>(
        JobPriority::utility,
        [opened = gate->get_future().share(), finished] {
            opened.wait_for(30s);
            *finished = true;
            return 1;
        },
        [reached](int) { ++*reached; });
    // Would wait for the job (which waits for the gate) if the group waited for it.
    receiver.reset();
    EXPECT_FALSE(finished->load());
    gate->set_value();
    ASSERT_TRUE(fixtures::waitUntil([&] { return finished->load(); }));
    fixtures::processEventsFor(50ms);
    EXPECT_EQ(reached->load(), 0);
}

TEST(WorkContext, sleepWithoutAStopTokenIsAPlainSleep)
{
    const WorkContext context;
    EXPECT_TRUE(context.sleepFor(10ms));
    EXPECT_FALSE(context.stopRequested());
}

} // namespace
} // namespace tolvaran
