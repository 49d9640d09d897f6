#include "patterns/KeptPoints.h"

#include <algorithm>
#include <new>

namespace kestivo {

namespace {
// Doubles an array's room to hold at least `wanted`, keeping its first
// `used` entries; false if the memory cannot be had.
template <typename T>
bool grow(std::unique_ptr<T[]>& items, std::size_t used, std::size_t& capacity, std::size_t wanted,
          std::size_t least) noexcept
{
    if (wanted <= capacity)
        return true;
    const std::size_t room = std::max({wanted, capacity * 2, least});
    try {
        std::unique_ptr<T[]> bigger(new T[room]);
        std::copy(items.get(), items.get() + used, bigger.get());
        items = std::move(bigger);
        capacity = room;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
} // namespace

bool KeptPoints::reserve(std::size_t wanted) noexcept
{
    constexpr std::size_t kFirstRoom = 4096;
    if (grow(points_, size_, capacity_, wanted, kFirstRoom))
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
    if (!grow(runEnds_, runs_, runCapacity_, runs_ + 1, kFirstRuns)) {
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
