// The reveal's schedule: points due by the time of each frame.

#include "session/Pace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using kestivo::Pace;

namespace {
// Frames every frameMs from 1000 ms until `points` are due; how many.
int framesFor(Pace& pace, long long points, double frameMs = Pace::kFrameMs)
{
    int frames = 0;
    for (double now = 1000; pace.due(now) < points; now += frameMs)
        ++frames;
    return frames + 1;
}
} // namespace

TEST(Pace, AMillionPointsASecondFromTheFirstFrameAndAgainForEachDrawing)
{
    Pace pace(Pace::kPointsPerSecond);
    EXPECT_EQ(pace.due(1000), 16'666) << "the first frame shows a frame's worth";
    long long due = 0;
    for (int f = 1; f <= 50; ++f)
        due = pace.due(1000 + 10 * f);
    EXPECT_EQ(due, 516'666);
    pace.restart();
    EXPECT_EQ(pace.due(5000), 16'666) << "a new drawing starts its own schedule";
    pace.restart();
    EXPECT_NEAR(framesFor(pace, 1'000'000), 60, 1);
    pace.restart();
    EXPECT_NEAR(framesFor(pace, 1'000'000, 1000 / 144.0), 144, 1) << "at a display's own rate";
}

TEST(Pace, AfterAStallTheDrawingResumesAtThePaceLongerByTheStall)
{
    Pace pace(Pace::kPointsPerSecond);
    double now = 1000;
    for (int f = 0; f < 30; ++f, now += Pace::kFrameMs)
        (void)pace.due(now);
    const long long before = pace.due(now);
    now += 3000; // stopped, or a hidden page
    const long long after = pace.due(now);
    EXPECT_LE(after - before, 20'000) << "the stall is not made up at once";
    long long last = after;
    for (int f = 0; f < 60; ++f)
        last = pace.due(now += Pace::kFrameMs);
    EXPECT_NEAR(double(last - after), 1e6, 2) << "then on at the pace";
    // Up to two frames late is only late: caught up.
    EXPECT_NEAR(double(pace.due(now + 3 * Pace::kFrameMs) - last), 50'000, 2);
}

TEST(Pace, NoPaceSlowPacesAndOddClocksAllCountSanely)
{
    Pace none(0);
    EXPECT_EQ(none.due(0), std::numeric_limits<long long>::max()) << "all at the first frame";
    Pace slow(100);
    EXPECT_EQ(slow.due(1000), 1);
    long long due = 0;
    for (int f = 1; f <= 100; ++f)
        due = slow.due(1000 + 10 * f);
    EXPECT_EQ(due, 101);
    EXPECT_EQ(slow.due(1500), 101) << "a clock stepping back takes nothing back";
    EXPECT_EQ(slow.due(std::nan("")), 101) << "no time told, none passes";
    Pace fast(1e300);
    EXPECT_EQ(fast.due(1000), std::numeric_limits<long long>::max());
}

// A timer that fires late by its rounding stays on the 60-a-second grid; one
// held up for frames restarts it, with none made up.
TEST(FrameGrid, TicksKeepTheGridAndALongHoldUpRestartsIt)
{
    kestivo::FrameGrid grid;
    grid.start(0);
    double now = 0;
    for (int f = 0; f < 60; ++f)
        now += std::round(grid.next(now)) + 0.4; // whole milliseconds, and a little late
    EXPECT_NEAR(now, 1000, 1) << "sixty frames a second";
    EXPECT_NEAR(grid.next(now + 100), Pace::kFrameMs, 1e-9) << "held up: the next a frame from then";
}
