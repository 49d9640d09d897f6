#include "session/Keyboard.h"

#include "form/Layout.h"

#include <algorithm>
#include <cstring>

namespace kestivo {

namespace {
using Do = KeyAction::Do;
using Key = KeyEvent::Key;

// The button step places from focused in tab order; with none focused,
// the first or the last.
const char* step(const char* focused, int step)
{
    const auto& order = layout::kTabOrder;
    const auto n = int(order.size());
    const auto at = std::find_if(order.begin(), order.end(),
                                 [focused](const layout::Control* c) { return focused && std::strcmp(c->name, focused) == 0; });
    const int from = at == order.end() ? (step > 0 ? -1 : 0) : int(at - order.begin());
    return order[std::size_t(((from + step) % n + n) % n)]->name;
}

// Tab, Space and Enter with modifiers that make them another command's.
bool theForms(const KeyEvent& e)
{
    if (e.key == Key::Other || e.otherModifiers)
        return false;
    return !(e.key == Key::Enter && e.shift);
}
} // namespace

Keyboard::Down* Keyboard::find(int code)
{
    const auto it = std::find_if(down_.begin(), down_.end(), [code](const Down& d) { return d.code == code; });
    return it == down_.end() ? nullptr : &*it;
}

KeyAction Keyboard::key(const KeyEvent& e, const char* focused, bool discarded)
{
    if (!e.pressed) {
        if (e.flaggedRepeat)
            return {Do::Swallow};
        Down* d = find(e.code);
        if (!d) // pressed before the window had the keyboard, or not the form's
            return {theForms(e) || discarded ? Do::Swallow : Do::Pass};
        if (!paired_)
            return released(e.code, discarded, focused);
        d->release = e.stamp.value_or(0);
        d->releaseDiscarded = discarded;
        return {Do::HoldBack};
    }
    if (find(e.code) || (e.flaggedRepeat && theForms(e))) // a repeat
        return {Do::Swallow};
    if (!theForms(e))
        return {discarded ? Do::Swallow : Do::Pass};
    down_.push_back({e.code, e.key, !discarded, nullptr, std::nullopt, false});
    if (discarded)
        return {Do::Swallow};
    return pressed(e, focused);
}

KeyAction Keyboard::pressed(const KeyEvent& e, const char* focused)
{
    switch (e.key) {
    case Key::Tab:
    {
        const int way = e.shift ? -1 : 1;
        if (tabLeaves_ && focused && step(focused, way) == step(nullptr, way)) {
            std::erase_if(down_, [&e](const Down& d) { return d.code == e.code; }); // its release goes elsewhere
            return {Do::Pass};
        }
        return {Do::Focus, step(focused, way)};
    }
    case Key::Space:
        if (!focused)
            return {Do::Swallow};
        find(e.code)->pushed = focused;
        return {Do::Press, focused};
    case Key::Enter:
        return focused ? KeyAction{Do::Click, focused} : KeyAction{Do::Swallow};
    case Key::Other:
        break;
    }
    return {Do::Pass};
}

KeyAction Keyboard::released(int code, bool discarded, const char* focused)
{
    const Down d = *find(code);
    std::erase_if(down_, [code](const Down& k) { return k.code == code; });
    if (!d.pushed)
        return {Do::Swallow};
    // Space clicks the button it pushed in, if that still has the focus.
    const bool click = d.delivered && !discarded && focused && std::strcmp(focused, d.pushed) == 0;
    return {click ? Do::Click : Do::Release, d.pushed};
}

KeyAction Keyboard::settle(int code, std::optional<std::uint64_t> pressStamp, const char* focused)
{
    Down* d = find(code);
    if (!d || !d->release)
        return {Do::Swallow};
    if (pressStamp && *pressStamp == *d->release) {
        d->release.reset(); // the pair's press follows: still held
        return {Do::Swallow};
    }
    return released(code, d->releaseDiscarded, focused);
}

} // namespace kestivo
