#pragma once

#include <cstdint>

namespace kestivo {

// Decides, by its time stamp, whether an input event that arrives after a
// routine has ended was given while it ran: such input is discarded, never
// run, even when it reaches the program late.
//
// X11 and Wayland stamp input with the monotonic clock in milliseconds, 32
// bits wide, the clock the program reads itself. A stamp is trusted only
// while it tracks that clock (a remote display, or events made up without a
// real time, do not): then the event was given before the routine's last
// drawing call exactly when its stamp is not later than that call.
class InputGate {
public:
    // Milliseconds of the monotonic clock, as the window system stamps them.
    [[nodiscard]] static std::uint32_t nowMs();

    void routineStarted() { armed_ = false; }
    // The routine's last drawing call was at endMs.
    void routineEnded(std::uint32_t endMs)
    {
        endMs_ = endMs;
        armed_ = true;
    }

    // An input event stamped `stamp`, arriving at arrivalMs, after the routine.
    [[nodiscard]] bool givenBeforeEnd(std::uint64_t stamp, std::uint32_t arrivalMs) const;

private:
    std::uint32_t endMs_ = 0;
    bool armed_ = false;
};

} // namespace kestivo
