#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kestivo {

// A key as the form sees it, translated from the window system's event.
struct KeyEvent {
    enum class Key { Tab, Space, Enter, Other };
    Key key = Key::Other;
    int code = 0;                 // the window system's code, to tell held keys apart
    bool pressed = true;          // false: released
    bool flaggedRepeat = false;   // the window system marks it an auto-repeat
    bool shift = false;
    bool otherModifiers = false;  // Ctrl, Alt, Meta
    std::optional<std::uint64_t> stamp; // the input clock's, if it has one
};

// What the front-end does with a key.
struct KeyAction {
    enum class Do {
        Pass,     // not the form's: the window system handles it as usual
        Swallow,  // the form's, and nothing comes of it
        HoldBack, // a release that may be half of an auto-repeat: keep it,
                  // and call Session::settleKey
        Focus,    // give the focus to button
        Press,    // show button pushed in
        Release,  // show button out again, unclicked
        Click,    // show button out, and click it
    };
    Do what = Do::Pass;
    const char* button = nullptr; // a layout name, for Focus to Click

    friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

// The form's keyboard, as on the original platform: Tab and Shift+Tab move
// the focus round the buttons in tab order; Space pushes the focused button
// in and clicks it on release; Enter clicks it at once. A held key clicks
// once, whatever form its auto-repeat takes: presses flagged as repeats
// (Wayland, Win32, browsers), presses with no release between (X11's
// detectable auto-repeat), or release and press pairs carrying one stamp
// (X11's plain auto-repeat, with pairedRepeats). For those, whether a release
// is a pair's is only known once the next event of the key is in, or a
// moment has passed, so a release is held back until then and settled.
//
// A key whose press was discarded (given while a routine drew) stays
// discarded until it is really released: its repeats and its release too.
// System keys (Alt+F4, Alt+Space, F10) never come here: they are the
// window system's.
//
// A window cycles the focus round its buttons. A page must not trap the
// keyboard (tabLeaves): Tab from the last button and Shift+Tab from the
// first are passed on, and the browser moves the focus out of the form.
class Keyboard {
public:
    // How long a held-back release waits for its pair's press.
    static constexpr int kSettleMs = 30;

    explicit Keyboard(bool pairedRepeats, bool tabLeaves = false) : paired_(pairedRepeats), tabLeaves_(tabLeaves) {}

    // focused: the layout name of the button with the focus, or nullptr;
    // discarded: the input rule discards the event.
    [[nodiscard]] KeyAction key(const KeyEvent& event, const char* focused, bool discarded);

    // Settles a held-back release of the key with this code, when a press of
    // it arrives (at pressStamp) or when kSettleMs have passed with none
    // (nullopt). A press at the release's own stamp makes it a repeat.
    [[nodiscard]] KeyAction settle(int code, std::optional<std::uint64_t> pressStamp, const char* focused);

    // The window lost the keyboard: every key counts as up, unclicked.
    void clear() { down_.clear(); }

private:
    struct Down {
        int code;
        KeyEvent::Key key;
        bool delivered;           // its press was not discarded
        const char* pushed;       // the button Space pushed in
        std::optional<std::uint64_t> release; // held back, given at this stamp
        bool releaseDiscarded;
    };
    [[nodiscard]] Down* find(int code);
    [[nodiscard]] KeyAction pressed(const KeyEvent& event, const char* focused);
    [[nodiscard]] KeyAction released(int code, bool discarded, const char* focused);

    bool paired_;
    bool tabLeaves_;
    std::vector<Down> down_;
};

} // namespace kestivo
