#include "session/Pacer.h"

#include <algorithm>
#include <thread>

namespace kestivo {

Clock::Time SteadyClock::now()
{
    return std::chrono::steady_clock::now();
}

void SteadyClock::sleepUntil(Time t)
{
    std::this_thread::sleep_until(t);
}

Pacer::Pacer(Clock& clock, double pointsPerSecond, double framesPerSecond)
    : clock_(clock), pointsPerSecond_(pointsPerSecond),
      batch_(pointsPerSecond > 0 ? int(std::clamp(pointsPerSecond / 1000, 1.0, double(kBatch))) : kBatch),
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
}

bool Pacer::settle()
{
    points_ += pending_;
    pending_ = 0;
    Clock::Time now = clock_.now();
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
        } else if (now - due > kMaxLag * frameInterval_) {
            // Held up (stopped, suspended, swapped out): resume at the paced
            // rate from here rather than rushing the rest out at once.
            start_ += now - due;
        }
    }
    if (now < nextFrame_)
        return false;
    // Frames keep to their grid; after a stall the grid restarts from now.
    nextFrame_ += frameInterval_;
    if (nextFrame_ <= now)
        nextFrame_ = now + frameInterval_;
    return true;
}

} // namespace kestivo
