// The drawing schedule, against a fake clock rather than wall time.

#include "support/FakeClock.h"
#include "session/Pacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

using namespace kestivo;
using namespace std::chrono_literals;

namespace {

struct Outcome {
    double seconds;
    int frames;
    int sleeps;
};

// Draws points through a pacer; each point costs costPerPoint of clock time.
Outcome draw(long long points, Clock::Duration costPerPoint, double rate = Pacer::kPointsPerSecond)
{
    test::FakeClock clock;
    Pacer pacer(clock, rate);
    pacer.start();
    int frames = 0;
    for (long long i = 0; i < points; ++i) {
        clock.advance(costPerPoint);
        frames += pacer.drawn(1);
    }
    frames += pacer.settle();
    return {clock.seconds(), frames, clock.sleeps};
}

} // namespace

// The real clock's sleep ends at its time, never before it, also for waits
// of a fraction of a millisecond, which the pacer would otherwise spin on.
TEST(SteadyClock, ASleepNeverEndsBeforeItsTime)
{
    SteadyClock clock;
    for (const auto wait : {300us, 700us, 1500us, 2700us}) {
        const Clock::Time until = clock.now() + wait;
        clock.sleepUntil(until);
        EXPECT_GE(clock.now(), until) << wait.count() << " us";
    }
}

TEST(Pacer, HoldsFastDrawingToAMillionPointsASecondAtSixtyFrames)
{
    const Outcome r = draw(1'000'000, 0ns);
    EXPECT_NEAR(r.seconds, 1.0, 0.002);
    EXPECT_NEAR(r.frames, 60, 1);
    // Ahead of the schedule it wakes once a frame, not once a batch: each
    // wake-up costs the processor more than the frame's points.
    EXPECT_GT(r.sleeps, 0);
    EXPECT_LE(r.sleeps, 61);

    // The three patterns' point counts give their durations.
    EXPECT_NEAR(draw(999'156, 0ns).seconds, 1.0, 0.002);
    EXPECT_NEAR(draw(452'448, 0ns).seconds, 0.452448, 0.002);
    EXPECT_NEAR(draw(1'507'968, 100ns).seconds, 1.507968, 0.002);
}

TEST(Pacer, SlowDrawingIsNeverDelayedAndStillShowsFrames)
{
    // Twice as slow as the rate: no sleeping, two seconds, still 60 a second.
    const Outcome r = draw(1'000'000, 2us);
    EXPECT_EQ(r.sleeps, 0);
    EXPECT_NEAR(r.seconds, 2.0, 0.001);
    EXPECT_NEAR(r.frames, 120, 2);
}

TEST(Pacer, UnpacedDrawingNeverSleeps)
{
    const Outcome r = draw(1'000'000, 10ns, 0);
    EXPECT_EQ(r.sleeps, 0);
    EXPECT_NEAR(r.seconds, 0.01, 1e-6);
    EXPECT_EQ(r.frames, 0) << "all of it fits before the first frame is due";
}

TEST(Pacer, ScheduleRestartsWithEachRoutine)
{
    test::FakeClock clock;
    Pacer pacer(clock, Pacer::kPointsPerSecond);
    pacer.start();
    for (int i = 0; i < 500'000; ++i)
        pacer.drawn(1);
    pacer.settle();
    EXPECT_NEAR(clock.seconds(), 0.5, 0.002);

    // Idle for a minute, then a new routine: paced from its own start, not
    // rushed to catch up with the old schedule.
    clock.advance(60s);
    pacer.start();
    const double started = clock.seconds();
    for (int i = 0; i < 100'000; ++i)
        pacer.drawn(1);
    pacer.settle();
    EXPECT_NEAR(clock.seconds() - started, 0.1, 0.002);
    EXPECT_EQ(pacer.points(), 100'000);
}

TEST(Pacer, AfterAStallDrawingResumesAtTheRateFromWhereItWas)
{
    // A routine of 1.5 s stopped for 3 s a third of the way in: the rest is
    // drawn at a million a second, not rushed out in a frame or two.
    test::FakeClock clock;
    Pacer pacer(clock, Pacer::kPointsPerSecond);
    pacer.start();
    std::vector<std::pair<long long, double>> frames; // points drawn, time
    for (long long i = 1; i <= 1'500'000; ++i) {
        if (i == 500'000)
            clock.advance(3s);
        if (pacer.drawn(1))
            frames.emplace_back(i, clock.seconds());
    }
    pacer.settle();
    // Longer by the stall, less what the rest of its batch drew unpaced (at
    // most a frame's worth).
    EXPECT_NEAR(clock.seconds(), 4.5, 0.01 + 1 / Pacer::kFramesPerSecond) << "longer by the stall";

    double worst = 0;
    for (std::size_t f = 1; f < frames.size(); ++f) {
        const double dt = frames[f].second - frames[f - 1].second;
        if (dt > 1.0)
            continue; // the stall itself
        const double points = double(frames[f].first - frames[f - 1].first);
        worst = std::max(worst, points);
        EXPECT_LE(dt, 2.5 / Pacer::kFramesPerSecond) << "frame " << f;
    }
    EXPECT_LE(worst, 3 * Pacer::kPointsPerSecond / Pacer::kFramesPerSecond)
        << "no frame after the stall carries more than a few frames' worth of points";
    EXPECT_NEAR(double(frames.size()), 90, 4) << "60 frames a second of drawing";
}

TEST(Pacer, SlowRatesStillShowFramesAndTheSlowestNeverWrapTheClock)
{
    // A thousand points a second: the clock is read every point, so frames
    // keep coming at sixty a second rather than one per batch of points.
    const Outcome r = draw(1000, 0ns, 1000);
    EXPECT_NEAR(r.seconds, 1.0, 0.002);
    EXPECT_NEAR(r.frames, 60, 1);

    // A rate so slow that one point is due beyond what the clock counts:
    // it waits (a very long time), it does not draw at once.
    test::FakeClock clock;
    Pacer pacer(clock, 1e-300);
    pacer.start();
    pacer.drawn(1);
    EXPECT_GT(clock.seconds(), 3e8) << "ten years and more";
}

TEST(Pacer, LongWaitsAtSlowRatesAreCutIntoFrames)
{
    // One point a second: between points the window still gets sixty
    // frames a second, so it keeps painting while it waits.
    test::FakeClock clock;
    Pacer pacer(clock, 1);
    int waitingFrames = 0;
    pacer.frameWhileWaiting = [&] { ++waitingFrames; };
    pacer.start();
    int frames = 0;
    for (int i = 0; i < 3; ++i)
        frames += pacer.drawn(1);
    EXPECT_NEAR(clock.seconds(), 3.0, 0.001);
    EXPECT_NEAR(waitingFrames + frames, 180, 3);
}

TEST(Pacer, InfiniteRatesAndInstantFramesStillCountEveryPoint)
{
    // The batch up to the next frame is then infinity times no time: it
    // must not reach an int conversion as NaN (the sanitizers' build fails
    // on that).
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    for (const auto& [rate, fps] : {std::pair{kInfinity, 60.0}, std::pair{kInfinity, 1e12},
                                    std::pair{1e308, 1e12}}) {
        test::FakeClock clock;
        Pacer pacer(clock, rate, fps);
        pacer.start();
        for (int i = 0; i < 5000; ++i)
            pacer.drawn(1);
        pacer.settle();
        EXPECT_EQ(pacer.points(), 5000) << rate << " points a second, " << fps << " frames";
    }
}
