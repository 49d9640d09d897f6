#include "session/Pacer.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace kestivo {

Clock::Time SteadyClock::now()
{
    return std::chrono::steady_clock::now();
}

void SteadyClock::sleepUntil(Time t)
{
#ifdef _WIN32
    // mingw-w64's sleeps count whole milliseconds and drop the rest, and
    // Windows may end a short one a tick early: the pacer would spin on
    // sleeps of nothing until t came. Whole milliseconds, rounded up, until
    // t has come.
    for (Duration left; (left = t - now()) > Duration::zero();)
        std::this_thread::sleep_for(std::chrono::ceil<std::chrono::milliseconds>(left));
#else
    std::this_thread::sleep_until(t);
#endif
}

Pacer::Pacer(Clock& clock, double pointsPerSecond, double framesPerSecond)
    : clock_(clock), pointsPerSecond_(pointsPerSecond),
      minBatch_(pointsPerSecond > 0 ? int(std::clamp(pointsPerSecond / 1000, 1.0, double(kBatch)))
                                    : kUnpacedBatch),
      batch_(minBatch_),
      frameInterval_(std::chrono::duration_cast<Clock::Duration>(
          std::chrono::duration<double>(1.0 / framesPerSecond)))
{
    start();
}

void Pacer::start()
{
    start_ = clock_.now();
    nextFrame_ = start_ + frameInterval_;
    points_ = 0;
    pending_ = 0;
    nextBatch(false);
}

// The points due by the next frame: drawn, the next look at the clock
// sleeps until the frame and shows it. Behind the schedule, a millisecond's
// worth, so that frames still come on time.
void Pacer::nextBatch(bool behind)
{
    if (pointsPerSecond_ <= 0)
        return;
    if (behind) {
        batch_ = minBatch_;
        return;
    }
    const double untilFrame =
        std::chrono::duration<double>(nextFrame_ - start_).count() * pointsPerSecond_ -
        double(points_);
    // Rounded up, so that the batch's last point is due no earlier than the
    // frame. NaN (an infinite rate over no time) takes the smallest batch.
    const double points = std::ceil(untilFrame);
    batch_ = points >= kBatch ? kBatch : points > minBatch_ ? int(points) : minBatch_;
}

bool Pacer::settle()
{
    points_ += pending_;
    pending_ = 0;
    Clock::Time now = clock_.now();
    bool behind = false;
    if (pointsPerSecond_ > 0) {
        // At the slowest rates the schedule runs beyond what the clock can
        // count; thirty years is as good as for ever.
        constexpr double kLongest = 1e9;
        const double seconds = std::min(double(points_) / pointsPerSecond_, kLongest);
        const auto due = start_ + std::chrono::duration_cast<Clock::Duration>(
                                      std::chrono::duration<double>(seconds));
        if (due > now) {
            while (frameWhileWaiting && due > nextFrame_) {
                clock_.sleepUntil(nextFrame_);
                now = clock_.now();
                if (now >= nextFrame_) {
                    nextFrame_ = now + frameInterval_;
                    frameWhileWaiting();
                }
            }
            clock_.sleepUntil(due);
            now = clock_.now();
        } else {
            behind = true;
            // Held up (stopped, suspended, swapped out): resume at the paced
            // rate from here rather than rushing the rest out at once.
            if (now - due > kMaxLag * frameInterval_)
                start_ += now - due;
        }
    }
    if (now < nextFrame_) {
        nextBatch(behind);
        return false;
    }
    // Frames keep to their grid; after a stall the grid restarts from now.
    nextFrame_ += frameInterval_;
    if (nextFrame_ <= now)
        nextFrame_ = now + frameInterval_;
    nextBatch(behind);
    return true;
}

} // namespace kestivo
