#include "platform/Clock.h"

#include <gtest/gtest.h>

TEST(Clock, AnInstalledManualClockDrivesTicksAndSleeps)
{
    CManualClock manual(5000, 1000.0);
    IClock* previous = SetClock(&manual);
    EXPECT_EQ(GetTickCount64(), 5000u);
    SleepMs(250); // returns at once
    EXPECT_EQ(GetTickCount64(), 5250u);
    EXPECT_DOUBLE_EQ(GetClock()->WallTime(), 1000.25);
    EXPECT_EQ(SetClock(previous), &manual);

    IClock* real = GetClock();
    const uint64_t t0 = real->TickCount();
    real->Sleep(20);
    EXPECT_GE(real->TickCount() - t0, 20u);
    EXPECT_GT(real->WallTime(), 1.6e9);
}
