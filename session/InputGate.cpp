#include "session/InputGate.h"

namespace kestivo {

namespace {
// How far a trusted stamp may lie from the arrival time: behind it by the
// delivery latency, ahead of it by a coarse server clock's tick.
constexpr std::int32_t kMaxLatencyMs = 2000;
constexpr std::int32_t kMaxLeadMs = 20;
} // namespace

bool InputGate::givenBeforeEnd(std::uint64_t stamp) const
{
    if (!armed_)
        return false;
    // Differences of 32-bit stamps, so that the clock's wrap does not matter.
    const auto s = std::uint32_t(stamp);
    const auto latency = std::int32_t(clock_() - s);
    if (latency > kMaxLatencyMs || latency < -kMaxLeadMs)
        return false;
    return std::int32_t(s - endMs_) <= 0;
}

} // namespace kestivo
