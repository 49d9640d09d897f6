#pragma once

#include <cstdint>
#include <functional>

namespace kestivo {

// Decides, by its time stamp, whether an input event that arrives after a
// routine has ended was given while it ran: such input is discarded, never
// run, even when it reaches the program late.
//
// Stamps are milliseconds, 32 bits wide, of the clock the window system
// stamps input with; the front-end supplies that clock (X11 and Wayland use
// the monotonic clock, Win32 GetMessageTime's tick count). A stamp is trusted
// only while it tracks that clock (a remote display, or events made up
// without a real time, do not): then the event was given before the routine's
// last drawing call exactly when its stamp is not later than that call.
class InputGate {
public:
    using ClockMs = std::function<std::uint32_t()>;

    explicit InputGate(ClockMs inputClock) : clock_(std::move(inputClock)) {}

    void routineStarted() { armed_ = false; }
    // The routine has made its last drawing call, now.
    void routineEnded()
    {
        endMs_ = clock_();
        armed_ = true;
    }

    // An input event stamped `stamp` arrives now, after the routine.
    [[nodiscard]] bool givenBeforeEnd(std::uint64_t stamp) const;

private:
    ClockMs clock_;
    std::uint32_t endMs_ = 0;
    bool armed_ = false;
};

} // namespace kestivo
