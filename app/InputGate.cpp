#include "InputGate.h"

#include <chrono>

namespace kestivo {

namespace {
// How far a trusted stamp may lie from the arrival time: behind it by the
// delivery latency, ahead of it by a coarse server clock's tick.
constexpr std::int32_t kMaxLatencyMs = 2000;
constexpr std::int32_t kMaxLeadMs = 20;
} // namespace

std::uint32_t InputGate::nowMs()
{
    // steady_clock is CLOCK_MONOTONIC on Linux, as are X11's and Wayland's stamps.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return std::uint32_t(ms.count());
}

bool InputGate::givenBeforeEnd(std::uint64_t stamp, std::uint32_t arrivalMs) const
{
    if (!armed_)
        return false;
    // Differences of 32-bit stamps, so that the clock's wrap does not matter.
    const auto s = std::uint32_t(stamp);
    const auto latency = std::int32_t(arrivalMs - s);
    if (latency > kMaxLatencyMs || latency < -kMaxLeadMs)
        return false;
    return std::int32_t(s - endMs_) <= 0;
}

} // namespace kestivo
