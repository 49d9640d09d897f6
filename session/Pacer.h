#pragma once

#include <chrono>
#include <functional>

namespace kestivo {

// Time for the pacer, replaceable by a fake in tests.
class Clock {
public:
    using Time = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;

    virtual ~Clock() = default;
    virtual Time now() = 0;
    // Blocks (without spinning) until t.
    virtual void sleepUntil(Time t) = 0;
};

class SteadyClock final : public Clock {
public:
    Time now() override;
    void sleepUntil(Time t) override;
};

// Paces drawing to a fixed number of points a second and says when a frame
// is due, so that the user watches a pattern being drawn. The schedule is
// absolute (start + points / rate), so sleeping late or presenting a frame
// never makes drawing drift from the rate. A lag of more than kMaxLag frames
// (the process was stopped or starved) moves the schedule on instead: the
// drawing resumes at the rate, longer by the stall, and every colour pass is
// still seen. Points are counted in batches to keep the clock off the
// per-point path; on schedule a batch runs to the next frame, so that the
// drawing wakes once a frame, not once a batch of a millisecond.
class Pacer {
public:
    static constexpr double kPointsPerSecond = 1'000'000;
    static constexpr double kFramesPerSecond = 60;
    // Points between looks at the clock: those due by the next frame at the
    // paced rate, but never more than this (a frame stays on time when the
    // drawing falls behind), nor fewer than a millisecond's worth, nor none.
    static constexpr int kBatch = 20'000;
    // Points between looks at the clock when unpaced.
    static constexpr int kUnpacedBatch = 1000;
    // Frames of lag that are caught up; beyond this the schedule moves on.
    static constexpr int kMaxLag = 2;

    // pointsPerSecond 0 draws unpaced (frames still come at framesPerSecond).
    Pacer(Clock& clock, double pointsPerSecond, double framesPerSecond = kFramesPerSecond);

    // A routine starts drawing: the schedule starts now.
    void start();

    // count points drawn, no more than untilLook(); true when a frame
    // should be presented now.
    bool drawn(int count)
    {
        pending_ += count;
        if (pending_ < batch_)
            return false;
        return settle();
    }
    // Points before the next look at the clock (at least one).
    [[nodiscard]] int untilLook() const { return batch_ - pending_; }

    // Accounts for the points so far, sleeps if ahead of the schedule and
    // says whether a frame is due.
    bool settle();

    // Shows a frame in the middle of a wait longer than a frame (slow
    // paces), so that the window keeps painting while it waits.
    std::function<void()> frameWhileWaiting;

    [[nodiscard]] long long points() const { return points_ + pending_; }

private:
    void nextBatch(bool behind);

    Clock& clock_;
    double pointsPerSecond_;
    int minBatch_;
    int batch_;
    Clock::Duration frameInterval_;
    Clock::Time start_{};
    Clock::Time nextFrame_{};
    long long points_ = 0;
    int pending_ = 0;
};

} // namespace kestivo
