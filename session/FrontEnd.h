#pragma once

#include "surface/Pixels.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kestivo {

// What a window system's front-end does for the session: the one interface
// between the toolkit-free run-time rules and a toolkit. A front-end builds
// its window from the layout table, routes the buttons through the command
// table, shows the session's picture, and implements these calls. All of
// them come on the user-interface thread.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // Shows these device pixels of the picture on the screen now, without
    // waiting for the event loop: a frame of a routine. Only they changed.
    virtual void present(const DirtyRegion& dirty) = 0;

    // Between two frames of a routine: lets the window system repaint what
    // the desktop uncovered, restored or resized. User input that arrives
    // meanwhile must be discarded (Session::discardsInput says so).
    virtual void paintBetweenFrames() = 0;

    // After a routine's last drawing call: a round trip to the window system,
    // delivering the input it already holds, which Session::discardsInput
    // discards.
    virtual void flushInput() = 0;

    // The busy cursor (and the window's busy state) on or off. Turning it
    // on may throw (memory has run out): the routine then fails unstarted.
    // Turning it off never throws.
    virtual void showBusy(bool busy) = 0;

    // Tells the user of a run-time error (UTF-8 texts) and returns once it
    // is dismissed. The session has already written it to standard error.
    virtual void reportError(const std::string& title, const std::string& message) = 0;

    // Ends the program with this exit status: the window goes, and the event
    // loop ends once this call has returned.
    virtual void exit(int status) = 0;

    // Runs task once the event being handled is done with.
    virtual void later(std::function<void()> task) = 0;

    // Now, in milliseconds (32 bits, wrapping) of the clock the window system
    // stamps input with.
    [[nodiscard]] virtual std::uint32_t inputClockMs() = 0;
};

} // namespace kestivo
