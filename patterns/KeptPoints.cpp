#include "patterns/KeptPoints.h"

#include "surface/Growable.h"

#include <algorithm>

namespace kestivo {

bool KeptPoints::reserve(std::size_t wanted) noexcept
{
    constexpr std::size_t kFirstRoom = 4096;
    if (growArray(points_, size_, capacity_, wanted, kFirstRoom))
        return true;
    drop();
    return false;
}

void KeptPoints::drop() noexcept
{
    failed_ = true;
    points_.reset();
    runEnds_.reset();
    size_ = capacity_ = runs_ = runCapacity_ = 0;
}

void KeptPoints::keep(std::span<const Point> points) noexcept
{
    if (failed_ || replaying_ || !reserve(size_ + points.size()))
        return;
    std::copy(points.begin(), points.end(), points_.get() + size_);
    size_ += points.size();
}

void KeptPoints::endRun() noexcept
{
    if (failed_ || replaying_)
        return;
    constexpr std::size_t kFirstRuns = 32;
    if (!growArray(runEnds_, runs_, runCapacity_, runs_ + 1, kFirstRuns)) {
        drop();
        return;
    }
    runEnds_[runs_++] = size_;
}

std::span<const Point> KeptPoints::nextRun() noexcept
{
    if (next_ >= runs_)
        return {};
    const std::size_t from = next_ == 0 ? 0 : runEnds_[next_ - 1];
    const std::size_t to = runEnds_[next_++];
    return {points_.get() + from, to - from};
}

void KeptPoints::endPass() noexcept
{
    replaying_ = !failed_;
    next_ = 0;
}

} // namespace kestivo
