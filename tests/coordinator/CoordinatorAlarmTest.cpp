#include "CoordinatorDouble.h"
#include "coordinator/CoordinatorAlarm.h"

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace std::chrono_literals;

namespace {

struct AlarmWorld
{
    FakeClock clock;
    QObject context;
    int rings = 0;
    CoordinatorAlarm alarm{&context, clock.clock(), [this] { ++rings; }};
};

TEST(CoordinatorAlarm, ringsOnceWhenTheClockReachesTheMoment)
{
    AlarmWorld world;
    world.alarm.setAt(world.clock.now.addingSeconds(90));
    world.clock.advance(89s);
    EXPECT_EQ(world.rings, 0);
    world.clock.advance(1s);
    EXPECT_EQ(world.rings, 1);
    EXPECT_FALSE(world.alarm.moment());
    world.clock.advance(1h);
    EXPECT_EQ(world.rings, 1);
}

TEST(CoordinatorAlarm, aLongWaitIsTakenInStepsThatLookAtTheClockAgain)
{
    AlarmWorld world;
    world.alarm.setAt(world.clock.now.addingSeconds(3 * 3600));
    // The machine slept: the clock jumped past the moment while no timer ran.
    world.clock.now = world.clock.now.addingSeconds(4 * 3600);
    world.clock.advance(CoordinatorAlarm::maximumWait);
    EXPECT_EQ(world.rings, 1);
}

TEST(CoordinatorAlarm, aNewMomentReplacesTheOldOneAndAPastMomentRingsAtOnce)
{
    AlarmWorld world;
    world.alarm.setAt(world.clock.now.addingSeconds(10));
    world.alarm.setAt(world.clock.now.addingSeconds(60));
    world.clock.advance(30s);
    EXPECT_EQ(world.rings, 0) << "the first moment no longer holds";
    world.clock.advance(30s);
    EXPECT_EQ(world.rings, 1);

    world.alarm.setAt(world.clock.now.addingSeconds(-5));
    world.clock.advance(0ms);
    EXPECT_EQ(world.rings, 2);

    world.alarm.setAt(world.clock.now.addingSeconds(10));
    world.alarm.setAt(std::nullopt);
    world.clock.advance(1min);
    EXPECT_EQ(world.rings, 2) << "cleared";
}

} // namespace
