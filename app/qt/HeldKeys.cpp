#include "qt/HeldKeys.h"

#include <algorithm>

namespace kestivo {

HeldKeys::Key* HeldKeys::find(int key)
{
    const auto it = std::find_if(down_.begin(), down_.end(), [key](const Key& k) { return k.code == key; });
    return it == down_.end() ? nullptr : &*it;
}

HeldKeys::Verdict HeldKeys::press(int key, bool flaggedRepeat, bool discarded)
{
    if (find(key)) // a repeat, with or without a release before it
        return Verdict::Discard;
    if (flaggedRepeat) // a repeat of a press this window never had
        return Verdict::Discard;
    down_.push_back({key, !discarded, std::nullopt, false});
    return discarded ? Verdict::Discard : Verdict::Deliver;
}

HeldKeys::Verdict HeldKeys::release(int key, std::uint32_t stamp, bool flaggedRepeat, bool discarded)
{
    if (flaggedRepeat)
        return Verdict::Discard;
    Key* k = find(key);
    if (!k) // pressed before the window had the keyboard
        return discarded ? Verdict::Discard : Verdict::Deliver;
    k->release = stamp;
    k->releaseDiscarded = discarded;
    return Verdict::HoldBack;
}

bool HeldKeys::settle(int key, std::optional<std::uint32_t> pressStamp)
{
    Key* k = find(key);
    if (!k || !k->release)
        return false;
    if (pressStamp && *pressStamp == *k->release) {
        k->release.reset(); // the pair's press follows: still held
        return false;
    }
    const bool deliver = k->delivered && !k->releaseDiscarded;
    std::erase_if(down_, [key](const Key& d) { return d.code == key; });
    return deliver;
}

} // namespace kestivo
