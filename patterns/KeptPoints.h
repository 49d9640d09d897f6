#pragma once

#include "surface/DrawingSurface.h"

#include <cstddef>
#include <memory>
#include <span>

namespace kestivo {

// The points a routine's first colour pass sets, kept so that its later
// passes set the same points again, in the same order, without working them
// out: each pass does the same arithmetic on the same values, so its results
// are the same. Kept as the runs the first pass set them in. Where the memory
// cannot be had, every pass works its points out, as the first does; the
// memory goes with the routine's end.
class KeptPoints {
public:
    KeptPoints() = default;
    KeptPoints(const KeptPoints&) = delete;
    KeptPoints& operator=(const KeptPoints&) = delete;

    // Whether this pass sets the kept points rather than working them out.
    [[nodiscard]] bool replaying() const { return replaying_; }

    // First pass: the next points of the run being set, in order.
    void keep(std::span<const Point> points) noexcept;
    // First pass: the run is complete.
    void endRun() noexcept;
    // Later passes: the next run, as the first pass set it.
    [[nodiscard]] std::span<const Point> nextRun() noexcept;
    // After each pass: the next replays what was kept, if all of it was.
    void endPass() noexcept;

private:
    // Room for at least `wanted` points, or false (and nothing kept).
    bool reserve(std::size_t wanted) noexcept;
    void drop() noexcept;

    std::unique_ptr<Point[]> points_;
    std::size_t size_ = 0, capacity_ = 0;
    // Where each run ends: a routine makes a few dozen.
    std::unique_ptr<std::size_t[]> runEnds_;
    std::size_t runs_ = 0, runCapacity_ = 0;
    std::size_t next_ = 0; // the run a later pass sets next
    bool failed_ = false;
    bool replaying_ = false;
};

} // namespace kestivo
