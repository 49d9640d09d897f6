// A held key clicks once, whatever form its auto-repeat takes.

#include "qt/HeldKeys.h"

#include <gtest/gtest.h>

#include <optional>

using kestivo::HeldKeys;
using V = HeldKeys::Verdict;

namespace {
constexpr int kSpace = 32;
constexpr int kTab = 9;
} // namespace

TEST(HeldKeys, EveryFormOfAutoRepeatIsOneKeystroke)
{
    HeldKeys keys;
    // X11: release and press pairs at one stamp, the press perhaps late.
    EXPECT_EQ(keys.press(kSpace, false, false), V::Deliver);
    for (std::uint32_t stamp = 700; stamp < 800; stamp += 40) {
        EXPECT_EQ(keys.release(kSpace, stamp, false, false), V::HoldBack);
        EXPECT_FALSE(keys.settle(kSpace, stamp)) << "its pair's press: still held";
        EXPECT_EQ(keys.press(kSpace, false, false), V::Discard);
    }
    // Presses without releases (detectable auto-repeat), and flagged ones.
    EXPECT_EQ(keys.press(kSpace, false, false), V::Discard);
    EXPECT_EQ(keys.press(kSpace, true, false), V::Discard);
    EXPECT_EQ(keys.release(kSpace, 900, true, false), V::Discard);
    // The real release, once: no press came with it.
    EXPECT_EQ(keys.release(kSpace, 950, false, false), V::HoldBack);
    EXPECT_TRUE(keys.settle(kSpace, std::nullopt));
    EXPECT_FALSE(keys.settle(kSpace, std::nullopt));
    EXPECT_EQ(keys.press(kSpace, false, false), V::Deliver) << "a new keystroke";

    // A quick second keystroke: its press, at a later stamp, settles the
    // release as real before it is judged.
    EXPECT_EQ(keys.press(kTab, false, false), V::Deliver);
    EXPECT_EQ(keys.release(kTab, 1000, false, false), V::HoldBack);
    EXPECT_TRUE(keys.settle(kTab, 1004));
    EXPECT_EQ(keys.press(kTab, false, false), V::Deliver);
}

TEST(HeldKeys, AKeyPressedWhileInputIsDiscardedStaysDiscardedUntilReleased)
{
    HeldKeys keys;
    EXPECT_EQ(keys.press(kSpace, false, true), V::Discard) << "given during drawing";
    // Drawing has ended; the key is still held and repeats.
    EXPECT_EQ(keys.release(kSpace, 100, false, false), V::HoldBack);
    EXPECT_FALSE(keys.settle(kSpace, 100));
    EXPECT_EQ(keys.press(kSpace, false, false), V::Discard);
    EXPECT_EQ(keys.release(kSpace, 200, false, false), V::HoldBack);
    EXPECT_FALSE(keys.settle(kSpace, std::nullopt)) << "its release clicks nothing";
    EXPECT_EQ(keys.press(kSpace, false, false), V::Deliver) << "a new keystroke";

    // A press that went to another window, or a lost release, never locks
    // the key out.
    EXPECT_EQ(keys.release(kTab, 300, false, false), V::Deliver);
    keys.clear();
    EXPECT_EQ(keys.press(kSpace, false, false), V::Deliver);
}
