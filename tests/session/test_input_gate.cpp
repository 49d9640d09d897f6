// The input rule by time stamps, on a clock the test moves.

#include "session/InputGate.h"

#include <gtest/gtest.h>

#include <cstdint>

using kestivo::InputGate;

TEST(InputGate, InputStampedUpToTheRoutinesEndIsDiscardedAfterItOnlyRuns)
{
    std::uint32_t now = 50'000;
    InputGate gate([&] { return now; });
    EXPECT_FALSE(gate.givenBeforeEnd(now)) << "no routine has run";

    gate.routineStarted();
    now += 1500;
    gate.routineEnded(); // at 51'500
    now += 300;          // input that was in flight arrives
    EXPECT_TRUE(gate.givenBeforeEnd(51'500)) << "given at the last drawing call";
    EXPECT_TRUE(gate.givenBeforeEnd(50'100)) << "given during the routine";
    EXPECT_FALSE(gate.givenBeforeEnd(51'501)) << "given after it";

    // A new routine judges by its own end only.
    gate.routineStarted();
    EXPECT_FALSE(gate.givenBeforeEnd(50'100));
}

TEST(InputGate, StampsThatDoNotFollowTheInputClockAreNotJudgedByIt)
{
    std::uint32_t now = 100'000;
    InputGate gate([&] { return now; });
    gate.routineStarted();
    gate.routineEnded();
    now += 10;
    EXPECT_TRUE(gate.givenBeforeEnd(99'000));
    EXPECT_FALSE(gate.givenBeforeEnd(1)) << "made up, or another machine's clock";
    EXPECT_FALSE(gate.givenBeforeEnd(now - 2001)) << "older than any delivery takes";
    EXPECT_FALSE(gate.givenBeforeEnd(now + 21)) << "ahead of the clock";
    // The 64-bit stamp of a window system is compared by its low 32 bits.
    EXPECT_TRUE(gate.givenBeforeEnd((std::uint64_t(7) << 32) | 99'000u));
}

TEST(InputGate, TheClockWrappingDuringARoutineChangesNothing)
{
    std::uint32_t now = 0xFFFF'FF00u;
    InputGate gate([&] { return now; });
    gate.routineStarted();
    now += 0x200; // wraps to 0x100
    gate.routineEnded();
    now += 50;
    EXPECT_TRUE(gate.givenBeforeEnd(0xFFFF'FFF0u)) << "before the wrap";
    EXPECT_TRUE(gate.givenBeforeEnd(0x100u));
    EXPECT_FALSE(gate.givenBeforeEnd(0x101u)) << "after the end, past the wrap";
}
