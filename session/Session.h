#pragma once

#include "patterns/Patterns.h"
#include "session/InputGate.h"
#include "session/Keyboard.h"
#include "session/Pace.h"
#include "session/Picture.h"
#include "surface/Recording.h"

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
// handlers, the picture, and what may happen while a routine is shown.
//
// The window system owns the loop. A click runs its routine to the end at
// once, into a recording; the front-end's frame clock then calls frame(),
// which reveals the recording onto the picture at the pace and presents
// what changed. The session never waits: each entry returns at once.
//
//   Idle --click--> Revealing --last call shown--> Idle
//                      |  \--close--> (next frame) exit 0
//                      \--failure--> (next frame) Reporting --dismissed--> exit 1
//
// While a routine is shown the session is busy, and input given before the
// end of its reveal is discarded, judged by the window system's stamp however
// late it arrives. A close request meanwhile ends the program at the next
// frame, with status 0. A failure the routine met is reported when the
// reveal reaches it, after what was drawn before it is shown; any other
// failure (a front-end's paint, a scale that cannot be had) at the next
// frame. Either way there is one report, then exit status 1, and nothing
// starts from the failure on.
class Session {
public:
    struct Options {
        // Drawing rate; 0 shows a routine whole at the next frame.
        double pointsPerSecond = Pace::kPointsPerSecond;
        // Wraps the surface the handlers draw on (tests inject faults).
        std::function<std::unique_ptr<DrawingSurface>(DrawingSurface& recording)> decorate;
        // The window system sends a held key's repeats as release and press
        // pairs at one stamp (X11): releases are held back to tell them.
        bool pairedKeyRepeats = false;
        // A page's: Tab leaves the form at either end (see Keyboard).
        bool tabLeavesForm = false;
    };

    // scale: the window's device pixels per logical pixel.
    Session(FrontEnd& frontEnd, double scale, Options options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // A click on the button named button (layout::kCmdHwbk, ...): what the
    // command table says it does. A name not in the table does nothing.
    void click(std::string_view button);

    // A tick of the front-end's frame clock, at nowMs of its input clock
    // (fractions welcome).
    void frame(double nowMs);

    // The window's device pixels per logical pixel changed (it moved to
    // another screen, or was zoomed): the picture, and the reveal so far,
    // are drawn again at the new scale at once, exactly.
    void rescale(double scale);

    [[nodiscard]] const Picture& picture() const { return picture_; }
    // What the picture shows, in words: the patterns drawn since it was
    // last cleared, by their buttons' captions, or that it is empty.
    [[nodiscard]] std::u16string describePicture() const;
    // A routine is being shown (until its last frame, or the frame that
    // reports a failure met meanwhile).
    [[nodiscard]] bool busy() const { return routine_ != nullptr; }
    // A failure or the end: nothing starts any more.
    [[nodiscard]] bool ended() const { return state_ >= State::Failing; }
    // The memory the routine being shown holds for its recording.
    [[nodiscard]] std::size_t recordingBytes() const { return recording_.bytes(); }

    // Whether user input (a click, a key) arriving now is discarded: while
    // a routine is shown, or given before the end of its reveal by its stamp
    // (in the front-end's input clock; none if the event has no stamp).
    [[nodiscard]] bool discardsInput(std::optional<std::uint64_t> stamp) const;

    // A key reaches the form; focused is the layout name of the button with
    // the focus, or nullptr. The answer says what the front-end does.
    [[nodiscard]] KeyAction key(const KeyEvent& event, const char* focused);
    // A held-back release is settled (see Keyboard::settle).
    [[nodiscard]] KeyAction settleKey(int code, std::optional<std::uint64_t> pressStamp, const char* focused)
    {
        return keyboard_.settle(code, pressStamp, focused);
    }
    // The window lost the keyboard.
    void keyboardLost() { keyboard_.clear(); }

    // The user asks to close the window: true if it may close now. While a
    // routine is shown the program ends at the next frame instead, with
    // status 0. Once a failure has ended the session it is refused: the
    // program ends after the report, with status 1.
    [[nodiscard]] bool requestClose();

    // A failure outside the routines (a front-end's painting, resizing):
    // reported at the next frame. Only the first counts.
    void fail(std::exception_ptr failure) noexcept;

    // The user has dismissed the error's report: the program ends, status 1.
    void errorDismissed();

private:
    enum class State { Idle, Revealing, Failing, Reporting, Ended };

    void run(Routine routine);
    void endReveal(bool whole) noexcept;
    void presentChanges();
    void report(const std::exception_ptr& failure) noexcept;
    void end(int status) noexcept;

    FrontEnd& frontEnd_;
    Picture picture_;
    Recording recording_;
    std::unique_ptr<DrawingSurface> decorated_;
    DrawingSurface* target_; // what the handlers draw on
    Pace pace_;
    InputGate gate_;
    Keyboard keyboard_;
    State state_ = State::Idle;
    Routine routine_ = nullptr;            // the one being shown
    std::exception_ptr routineFailure_;    // where its recording ends
    std::exception_ptr pending_;           // a failure for the next frame
    bool closing_ = false;                 // asked while a routine was shown
};

} // namespace kestivo
