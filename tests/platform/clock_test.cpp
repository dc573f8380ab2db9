#include "platform/clock.h"
#include "platform/virtual_clock.h"
#include "support/scoped_clock.h"

#include <gtest/gtest.h>

namespace {

TEST(VirtualClock, SleepAdvancesTicksAndCalendarWithoutWaiting) {
    testing_support::ScopedClock<> scoped;
    const std::uint32_t ticks = platform::tickCount();
    const std::int64_t seconds = platform::calendarSeconds();

    platform::sleepMs(5000);
    platform::sleepMs(20000);

    EXPECT_EQ(platform::tickCount() - ticks, 25000u);
    EXPECT_EQ(platform::calendarSeconds() - seconds, 25);
    EXPECT_EQ(scoped.clock.sleptMs(), 25000u);
    EXPECT_EQ(scoped.clock.sleepCount(), 2u);
}

TEST(VirtualClock, TickCountWrapsLikeA32BitCounter) {
    platform::VirtualClock clock(0, 0xFFFFFF00u);
    clock.sleepMs(0x200);
    EXPECT_EQ(clock.tickCount(), 0x100u);
}

TEST(ClockSelection, InstallingAndRestoringPutsTheSystemClockBack) {
    platform::Clock* system = &platform::systemClock();
    EXPECT_EQ(&platform::clock(), system);
    {
        testing_support::ScopedClock<> scoped;
        EXPECT_EQ(&platform::clock(), &scoped.clock);
    }
    EXPECT_EQ(&platform::clock(), system);
}

TEST(SystemClock, SleepWaitsAtLeastTheTimeAsked) {
    platform::Clock& clock = platform::systemClock();
    const std::uint32_t before = clock.tickCount();
    clock.sleepMs(30);
    EXPECT_GE(clock.tickCount() - before, 30u);
    EXPECT_GT(clock.calendarSeconds(), 1700000000);  // a date after 2023
}

}  // namespace
