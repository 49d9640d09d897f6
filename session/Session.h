#pragma once

#include "patterns/Patterns.h"
#include "session/InputGate.h"
#include "session/PacedSurface.h"
#include "session/Pacer.h"
#include "session/Picture.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kestivo {

class FrontEnd;

// The program's run-time rules, whatever the window system: the command
// handlers, the picture and its paced surface, and what may happen while a
// routine draws.
//
// While a pattern is drawn the window takes no input: the routine runs to
// completion on this thread, and clicks and keys given before its last
// drawing call are discarded, never run afterwards, however late they reach
// the program. The window keeps painting meanwhile: between frames the
// front-end lets its window system repaint. A close request given meanwhile
// ends the program at the next frame, with status 0: the drawing is
// abandoned, which loses nothing, as the program keeps no state. (A held
// key's repeats are the front-end's to tell apart, as its window system
// marks them.)
//
// Any failure once the window exists, in a routine or in a front-end's paint
// or resize path, takes one way out: the report on standard error and to the
// user, then exit status 1. Nothing starts from then on.
class Session {
public:
    struct Options {
        // Drawing rate; 0 draws unpaced (tests, benchmarks).
        double pointsPerSecond = Pacer::kPointsPerSecond;
        Clock* clock = nullptr; // default: the steady clock
        // Wraps the picture's surface for the handlers (tests inject faults).
        std::function<std::unique_ptr<DrawingSurface>(DrawingSurface& screen)> decorate;
    };

    // scale: the window's device pixels per logical pixel.
    Session(FrontEnd& frontEnd, double scale, Options options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // A click on the button named button (layout::kCmdHwbk, ...): what the
    // command table says it does. A name not in the table does nothing.
    void click(std::string_view button);

    [[nodiscard]] Picture& picture() { return picture_; }
    // What the picture shows, in words: the patterns drawn since it was
    // last cleared, by their buttons' captions, or that it is empty.
    [[nodiscard]] std::u16string describePicture() const;
    [[nodiscard]] PacedSurface& surface() { return surface_; }
    [[nodiscard]] bool busy() const { return busy_; }
    [[nodiscard]] bool ended() const { return ended_; }

    // Whether user input (a click, a key) arriving now is discarded: during
    // a routine, or given before its end by its stamp (in the front-end's
    // input clock; none if the event has no stamp).
    [[nodiscard]] bool discardsInput(std::optional<std::uint64_t> stamp) const;

    // The user asks to close the window: true if it may close now. During a
    // routine the program ends at the next frame instead, with status 0.
    // Once a failure has ended the session it is refused: the program ends
    // after the report, with status 1.
    [[nodiscard]] bool requestClose();

    // A failure outside a routine's own calls (a front-end's painting,
    // resizing, rescaling): reported once the current event is done with, or
    // at the next frame of a routine.
    void failLater(std::exception_ptr failure) noexcept;

private:
    class Busy;

    void run(Routine routine);
    void exitClicked();
    void betweenFrames();
    void flushInput();
    void fail(const std::exception_ptr& failure) noexcept;
    void end(int status);

    FrontEnd& frontEnd_;
    std::unique_ptr<Clock> ownClock_;
    Picture picture_;
    PacedSurface surface_;
    std::unique_ptr<DrawingSurface> decorated_;
    DrawingSurface* target_; // what the handlers draw on
    InputGate gate_;
    std::exception_ptr pending_; // a failure waiting for its report
    bool busy_ = false;
    bool flushing_ = false;
    bool closing_ = false; // asked during a routine
    bool ended_ = false;
};

} // namespace kestivo
