#include "work/WorkGroup.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QObject>

#include <atomic>
#include <chrono>
#include <memory>

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

TEST(WorkContext, sleepWithoutAStopTokenIsAPlainSleep)
{
    const WorkContext context;
    EXPECT_TRUE(context.sleepFor(10ms));
    EXPECT_FALSE(context.stopRequested());
}

} // namespace
} // namespace tolvaran
