// The form's keyboard: the tab order, Space and Enter, and a held key
// clicking once whatever form its auto-repeat takes.

#include "form/Layout.h"
#include "session/Keyboard.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using kestivo::Keyboard;
using kestivo::KeyAction;
using kestivo::KeyEvent;
using Do = KeyAction::Do;
using Key = KeyEvent::Key;
namespace layout = kestivo::layout;

namespace {
constexpr int kSpace = 32;
constexpr int kTab = 9;
constexpr int kEnter = 13;

KeyEvent press(Key key, int code, bool flaggedRepeat = false)
{
    return {key, code, true, flaggedRepeat, false, false, std::nullopt};
}

KeyEvent release(Key key, int code, std::uint64_t stamp, bool flaggedRepeat = false)
{
    return {key, code, false, flaggedRepeat, false, false, stamp};
}

const char* const kFocus = layout::kCmdHwbk;
} // namespace

TEST(Keyboard, TabGoesRoundTheButtonsByTabIndexAndModifiedKeysAreNotTheForms)
{
    Keyboard keys(false);
    std::vector<std::string> forward, backward;
    const char* at = layout::kCmdHwbk;
    for (int i = 0; i < 5; ++i) {
        const KeyAction a = keys.key(press(Key::Tab, kTab), at, false);
        ASSERT_EQ(a.what, Do::Focus);
        forward.push_back(at = a.button);
        (void)keys.key(release(Key::Tab, kTab, 0), at, false);
    }
    EXPECT_EQ(forward, (std::vector<std::string>{"CmdCls", "CmdExit", "CmdSgxc", "CmdHwty", "CmdHwbk"}));
    KeyEvent shiftTab = press(Key::Tab, kTab);
    shiftTab.shift = true;
    for (int i = 0; i < 5; ++i) {
        const KeyAction a = keys.key(shiftTab, at, false);
        backward.push_back(at = a.button);
        (void)keys.key(release(Key::Tab, kTab, 0), at, false);
    }
    EXPECT_EQ(backward, (std::vector<std::string>{"CmdHwty", "CmdSgxc", "CmdExit", "CmdCls", "CmdHwbk"}));
    EXPECT_EQ(keys.key(press(Key::Tab, kTab), nullptr, false), (KeyAction{Do::Focus, layout::kCmdHwbk}))
        << "from outside the buttons, the first";
    (void)keys.key(release(Key::Tab, kTab, 0), at, false);

    KeyEvent ctrlTab = press(Key::Tab, kTab);
    ctrlTab.otherModifiers = true;
    EXPECT_EQ(keys.key(ctrlTab, at, false).what, Do::Pass);
    KeyEvent shiftEnter = press(Key::Enter, kEnter);
    shiftEnter.shift = true;
    EXPECT_EQ(keys.key(shiftEnter, at, false).what, Do::Pass);
    EXPECT_EQ(keys.key(press(Key::Other, 'a'), at, false).what, Do::Pass);
    EXPECT_EQ(keys.key(press(Key::Other, 'b'), at, true).what, Do::Swallow) << "discarded";
}

TEST(Keyboard, OnAPageTabLeavesTheFormAtEitherEndAndComesBack)
{
    Keyboard keys(false, true);
    KeyEvent shiftTab = press(Key::Tab, kTab);
    shiftTab.shift = true;
    EXPECT_EQ(keys.key(shiftTab, layout::kCmdHwbk, false).what, Do::Pass) << "Shift+Tab from the first";
    // Its release went to where the browser moved the focus; the next Tab is no repeat.
    EXPECT_EQ(keys.key(press(Key::Tab, kTab), layout::kCmdHwbk, false), (KeyAction{Do::Focus, layout::kCmdCls}));
    (void)keys.key(release(Key::Tab, kTab, 0), layout::kCmdCls, false);
    EXPECT_EQ(keys.key(press(Key::Tab, kTab), layout::kCmdHwty, false).what, Do::Pass) << "Tab from the last";
    EXPECT_EQ(keys.key(shiftTab, layout::kCmdHwty, false), (KeyAction{Do::Focus, layout::kCmdSgxc}));
}

TEST(Keyboard, SpaceClicksOnReleaseOnlyTheButtonItPushedAndEnterAtOnce)
{
    Keyboard keys(false);
    EXPECT_EQ(keys.key(press(Key::Space, kSpace), kFocus, false), (KeyAction{Do::Press, kFocus}));
    EXPECT_EQ(keys.key(release(Key::Space, kSpace, 1), kFocus, false), (KeyAction{Do::Click, kFocus}));
    // The focus moved while it was held: the button comes out, unclicked.
    (void)keys.key(press(Key::Space, kSpace), kFocus, false);
    EXPECT_EQ(keys.key(release(Key::Space, kSpace, 2), layout::kCmdCls, false), (KeyAction{Do::Release, kFocus}));
    // Drawing began while it was held: its release is discarded.
    (void)keys.key(press(Key::Space, kSpace), kFocus, false);
    EXPECT_EQ(keys.key(release(Key::Space, kSpace, 3), kFocus, true), (KeyAction{Do::Release, kFocus}));

    EXPECT_EQ(keys.key(press(Key::Enter, kEnter), kFocus, false), (KeyAction{Do::Click, kFocus}));
    EXPECT_EQ(keys.key(press(Key::Enter, kEnter, true), kFocus, false).what, Do::Swallow) << "its repeat";
    EXPECT_EQ(keys.key(release(Key::Enter, kEnter, 4), kFocus, false).what, Do::Swallow);
    EXPECT_EQ(keys.key(press(Key::Enter, kEnter), nullptr, false).what, Do::Swallow) << "no button focused";
}

TEST(Keyboard, EveryFormOfAutoRepeatIsOneKeystroke)
{
    Keyboard keys(true);
    // X11: release and press pairs at one stamp, the press perhaps late.
    EXPECT_EQ(keys.key(press(Key::Space, kSpace), kFocus, false).what, Do::Press);
    for (std::uint32_t stamp = 700; stamp < 800; stamp += 40) {
        EXPECT_EQ(keys.key(release(Key::Space, kSpace, stamp), kFocus, false).what, Do::HoldBack);
        EXPECT_EQ(keys.settle(kSpace, stamp, kFocus).what, Do::Swallow) << "its pair's press: still held";
        EXPECT_EQ(keys.key(press(Key::Space, kSpace), kFocus, false).what, Do::Swallow);
    }
    // Presses without releases (detectable auto-repeat), and flagged ones.
    EXPECT_EQ(keys.key(press(Key::Space, kSpace), kFocus, false).what, Do::Swallow);
    EXPECT_EQ(keys.key(press(Key::Space, kSpace, true), kFocus, false).what, Do::Swallow);
    EXPECT_EQ(keys.key(release(Key::Space, kSpace, 900, true), kFocus, false).what, Do::Swallow);
    // The real release, once: no press came with it.
    EXPECT_EQ(keys.key(release(Key::Space, kSpace, 950), kFocus, false).what, Do::HoldBack);
    EXPECT_EQ(keys.settle(kSpace, std::nullopt, kFocus).what, Do::Click);
    EXPECT_EQ(keys.settle(kSpace, std::nullopt, kFocus).what, Do::Swallow);
    EXPECT_EQ(keys.key(press(Key::Space, kSpace), kFocus, false).what, Do::Press) << "a new keystroke";

    // A quick second keystroke: its press, at a later stamp, settles the
    // release as real before it is judged.
    EXPECT_EQ(keys.key(press(Key::Tab, kTab), kFocus, false).what, Do::Focus);
    EXPECT_EQ(keys.key(release(Key::Tab, kTab, 1000), kFocus, false).what, Do::HoldBack);
    EXPECT_EQ(keys.settle(kTab, 1004, kFocus).what, Do::Swallow);
    EXPECT_EQ(keys.key(press(Key::Tab, kTab), kFocus, false).what, Do::Focus);
}

TEST(Keyboard, AKeyPressedWhileInputIsDiscardedStaysDiscardedUntilReleased)
{
    for (const bool paired : {true, false}) {
        Keyboard keys(paired);
        EXPECT_EQ(keys.key(press(Key::Space, kSpace), kFocus, true).what, Do::Swallow) << "given during drawing";
        // Drawing has ended; the key is still held and repeats.
        if (paired) {
            EXPECT_EQ(keys.key(release(Key::Space, kSpace, 100), kFocus, false).what, Do::HoldBack);
            EXPECT_EQ(keys.settle(kSpace, 100, kFocus).what, Do::Swallow);
        }
        EXPECT_EQ(keys.key(press(Key::Space, kSpace, !paired), kFocus, false).what, Do::Swallow);
        const KeyAction up = keys.key(release(Key::Space, kSpace, 200), kFocus, false);
        const KeyAction settled = paired ? keys.settle(kSpace, std::nullopt, kFocus) : up;
        EXPECT_EQ(settled.what, Do::Swallow) << "its release clicks nothing";
        EXPECT_EQ(keys.key(press(Key::Space, kSpace), kFocus, false).what, Do::Press) << "a new keystroke";

        // A press that went to another window, or a lost release, never
        // locks the key out.
        EXPECT_EQ(keys.key(release(Key::Tab, kTab, 300), kFocus, false).what, Do::Swallow);
        keys.clear();
        EXPECT_EQ(keys.key(press(Key::Space, kSpace), kFocus, false).what, Do::Press);
    }
}
