#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kestivo {

// A held key clicks once, whatever form its auto-repeat takes: presses
// flagged as repeats (Wayland, Win32), presses with no release between
// (X11's detectable auto-repeat), or release and press pairs carrying one
// time stamp (X11's plain auto-repeat). So a key, once pressed, stays down
// until a release that no press of the same key at the same stamp follows;
// every press meanwhile is a repeat. Whether a release is such a pair's is
// only known once the next event of the key is in, or a moment has passed,
// so a release is held back until then and settled.
//
// A key whose press was discarded (given while a routine drew) stays
// discarded until it is really released: its repeats and its release too.
class HeldKeys {
public:
    enum class Verdict {
        Deliver, // to the window
        Discard, // never delivered
        HoldBack // a release: deliver it only if settle() says so
    };

    // A key pressed, or released at stamp; discarded: the input rule
    // discards it anyway. Before a press of a key whose release is held
    // back, settle it.
    Verdict press(int key, bool flaggedRepeat, bool discarded);
    Verdict release(int key, std::uint32_t stamp, bool flaggedRepeat, bool discarded);

    // Settles a held-back release of key, when a press of the key arrives
    // (at pressStamp) or when a moment has passed with none (nullopt). A
    // press at the release's own stamp makes it a repeat: the key is still
    // held. Otherwise the key is up, and true says to deliver the release.
    [[nodiscard]] bool settle(int key, std::optional<std::uint32_t> pressStamp);

    // The window lost the keyboard: every key counts as up.
    void clear() { down_.clear(); }

private:
    struct Key {
        int code;
        bool delivered; // its press reached the window
        std::optional<std::uint32_t> release; // held back, given at this stamp
        bool releaseDiscarded;
    };
    [[nodiscard]] Key* find(int key);

    std::vector<Key> down_;
};

} // namespace kestivo
