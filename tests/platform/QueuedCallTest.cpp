#include "work/QueuedCall.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>

#include <memory>

namespace tolvaran {
namespace {

class Owner final : public QObject
{
public:
    explicit Owner(int *counter)
        : runs(counter)
    {
    }

    int *runs;
    int rescheduleFromInside = 0;
    QueuedCall call{this, [this] {
                        ++*runs;
                        if (rescheduleFromInside > 0) {
                            --rescheduleFromInside;
                            call.schedule();
                        }
                    }};
};

TEST(QueuedCall, runsOnceOnTheNextTurnForABurstOfRequests)
{
    int runs = 0;
    Owner owner(&runs);
    owner.call.schedule();
    owner.call.schedule();
    owner.call.schedule();
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(owner.call.isScheduled());
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(owner.call.isScheduled());

    owner.call.schedule();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 2);
}

TEST(QueuedCall, aRequestMadeWhileRunningRunsAgainOnALaterTurn)
{
    int runs = 0;
    Owner owner(&runs);
    owner.rescheduleFromInside = 1;
    owner.call.schedule();
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(owner.call.isScheduled());
}

TEST(QueuedCall, neverRunsOnceItsContextIsGone)
{
    int runs = 0;
    auto owner = std::make_unique<Owner>(&runs);
    owner->call.schedule();
    owner.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 0);
}

} // namespace
} // namespace tolvaran
