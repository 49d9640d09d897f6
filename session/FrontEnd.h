#pragma once

#include "surface/Pixels.h"

#include <cstdint>
#include <string>

namespace kestivo {

// What a window system's front-end does for the session: the one interface
// between the toolkit-free run-time rules and a toolkit. A front-end builds
// its window from the layout table, routes the buttons through the command
// table, shows the session's picture, and implements these calls. All of
// them come on the user-interface thread, from the session's own entries
// (a click, a frame, a scale change, a close), never from inside a wait:
// the window system's loop is the only one.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // These device pixels of the picture changed: show them, at the latest
    // with the window system's next paint.
    virtual void present(const DirtyRegion& dirty) = 0;

    // The busy cursor (and the window's busy state for screen readers) on
    // or off. Turning it on may throw (memory has run out): the routine then
    // fails unstarted. Turning it off never throws.
    virtual void showBusy(bool busy) = 0;

    // Tells the user of a run-time error (UTF-8 texts). It may return before
    // the user has dismissed it; once they have, the front-end calls
    // Session::errorDismissed (from within this call, for a box that waits).
    // The session has already written it to standard error.
    virtual void reportError(const std::string& title, const std::string& message) = 0;

    // Ends the program with this exit status: the window goes, and the event
    // loop ends once this call has returned.
    virtual void exit(int status) = 0;

    // The frame clock on or off: while on, the front-end calls
    // Session::frame about Pace::kFramesPerSecond times a second (a page: at
    // its display's rate), with the time of inputClockMs's clock. Off, an
    // idle window uses no processor time. Never throws.
    virtual void runFrames(bool on) = 0;

    // Now, in milliseconds (32 bits, wrapping) of the clock the window system
    // stamps input with.
    [[nodiscard]] virtual std::uint32_t inputClockMs() = 0;
};

} // namespace kestivo
