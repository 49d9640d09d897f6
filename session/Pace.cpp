#include "session/Pace.h"

#include <cmath>
#include <limits>

namespace kestivo {

long long Pace::due(double nowMs)
{
    constexpr long long kAll = std::numeric_limits<long long>::max();
    if (!(pointsPerSecond_ > 0))
        return kAll;
    if (!std::isfinite(nowMs))
        nowMs = lastMs_; // no time told: none passes
    if (!started_) {
        started_ = true;
        startMs_ = nowMs - kFrameMs;
        lastMs_ = nowMs;
    }
    // A clock that steps back counts as no time.
    const double gap = nowMs - lastMs_;
    if (gap > (kMaxLag + 1) * kFrameMs)
        startMs_ += gap - kFrameMs; // the stall is not made up: one frame's worth
    if (gap > 0)
        lastMs_ = nowMs;
    const double points = std::floor((lastMs_ - startMs_) / 1000 * pointsPerSecond_);
    if (!(points >= 0))
        return 0;
    // Beyond what a long long holds is all.
    return points >= 9e18 ? kAll : static_cast<long long>(points);
}

} // namespace kestivo
