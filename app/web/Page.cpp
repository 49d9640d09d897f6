#include "web/Page.h"

#include "form/Commands.h"
#include "form/Layout.h"
#include "form/Texts.h"
#include "program/Start.h"

#include <emscripten.h>
#include <emscripten/console.h>

#include <cmath>
#include <exception>
#include <span>
#include <string>

// The page's script (page.js): the DOM side of each call.
extern "C" {
void kestivo_js_form(const char* caption, const char* pictureName, int width, int height);
// Buttons come in tab order, after the other controls: the DOM's order is
// the one screen readers follow.
void kestivo_js_control(int kind, const char* name, const char* text, int left, int top, int width,
                        int height, int rgb, double points, const char* help, int button);
void kestivo_js_ready();
void kestivo_js_canvas(int width, int height, double scale);
// rects: count rectangles as x, y, width, height.
void kestivo_js_blit(const std::uint32_t* rgba, int width, int height, const int* rects, int count);
void kestivo_js_busy(int busy);
void kestivo_js_describe(const char* text);
void kestivo_js_error(const char* title, const char* message);
void kestivo_js_ended(int status);
// Animation frames on or off: each calls kestivo_frame.
void kestivo_js_frames(int on);
}

namespace kestivo {

namespace {
const TwipsScale kLogical(layout::kLogicalDpi);

std::string utf8(const char16_t* text)
{
    return text ? texts::utf8(text) : std::string();
}

int packed(Rgb c)
{
    return (c.r() << 16) | (c.g() << 8) | c.b();
}

// The button's index in the command table, or -1.
int commandIndex(const char* name)
{
    const Command* command = name ? findCommand(name) : nullptr;
    return command ? int(command - kCommands.data()) : -1;
}

void showControl(const layout::Control& c)
{
    const int button = commandIndex(c.name);
    const double points = button < 0 ? c.pointSize : layout::kButtonFontPoints;
    kestivo_js_control(int(c.kind), c.name, utf8(c.text).c_str(), kLogical.toPixels(c.left),
                       kLogical.toPixels(c.top), kLogical.toPixels(c.width), kLogical.toPixels(c.height),
                       packed(c.foreColour), points,
                       button < 0 ? "" : utf8(kCommands[std::size_t(button)].help).c_str(), button);
}
} // namespace

Page::Page(double scale, Session::Options options)
    : session_(std::make_unique<Session>(*this, scale, std::move(options)))
{
    const layout::Size client = layout::clientSize(kLogical);
    kestivo_js_form(utf8(texts::kCaption).c_str(), utf8(texts::kPictureName).c_str(), client.width,
                    client.height);
    for (const layout::Control& c : layout::kControls)
        if (c.kind != layout::Kind::CommandButton)
            showControl(c);
    for (const layout::Control* c : layout::kTabOrder)
        showControl(*c);
    kestivo_js_ready();
    kestivo_js_describe(texts::utf8(session_->describePicture()).c_str());
    present({});
}

Page::~Page() = default;

bool Page::press(int button, double stampMs)
{
    if (button < 0 || std::size_t(button) >= kCommands.size() || discards(stampMs))
        return false;
    try {
        session_->click(kCommands[std::size_t(button)].button);
    } catch (...) {
        session_->fail(std::current_exception()); // never into the browser's event loop
    }
    return true;
}

bool Page::discards(double stampMs) const
{
    return session_->ended() || session_->discardsInput(std::uint32_t(std::llround(stampMs)));
}

int Page::key(const KeyEvent& event, int focused)
{
    const bool known = focused >= 0 && std::size_t(focused) < kCommands.size();
    const KeyAction action = session_->key(event, known ? kCommands[std::size_t(focused)].button : nullptr);
    return int(action.what) + 8 * (commandIndex(action.button) + 1);
}

void Page::present(const DirtyRegion& dirty)
{
    const RasterSurface& raster = session_->picture().raster();
    const PixelRect whole{0, 0, raster.width(), raster.height()};
    const bool resized = whole.width != width_ || whole.height != height_;
    if (resized) { // the canvas anew, all of it
        width_ = whole.width;
        height_ = whole.height;
        rgba_.assign(std::size_t(width_) * std::size_t(height_), 0);
        kestivo_js_canvas(width_, height_, session_->picture().scale());
    }
    const std::uint32_t* argb = raster.pixels();
    rects_.clear();
    for (const PixelRect& r : resized ? std::span(&whole, 1) : std::span(dirty.rects())) {
        for (int y = r.y; y < r.y + r.height; ++y) {
            const std::size_t row = std::size_t(y) * std::size_t(width_);
            for (std::size_t i = row + std::size_t(r.x); i < row + std::size_t(r.x + r.width); ++i) {
                // Bytes R, G, B, A: in WebAssembly's little-endian words, ABGR.
                const std::uint32_t p = argb[i];
                rgba_[i] = 0xFF000000u | ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16);
            }
        }
        rects_.insert(rects_.end(), {r.x, r.y, r.width, r.height});
    }
    // One call a frame: the canvas takes each rectangle from one view.
    if (!rects_.empty())
        kestivo_js_blit(rgba_.data(), width_, height_, rects_.data(), int(rects_.size() / 4));
}

void Page::showBusy(bool busy)
{
    kestivo_js_busy(busy ? 1 : 0);
    if (busy)
        return;
    try { // a routine has been shown: tell screen readers what the picture holds now
        kestivo_js_describe(texts::utf8(session_->describePicture()).c_str());
    } catch (...) {
        // No memory for the words: the old ones stay, and this call must not throw.
    }
}

void Page::reportError(const std::string& title, const std::string& message)
{
    // The dialog's close event calls Session::errorDismissed.
    kestivo_js_error(title.c_str(), message.c_str());
}

void Page::exit(int status)
{
    kestivo_js_ended(status);
}

void Page::runFrames(bool on)
{
    kestivo_js_frames(on ? 1 : 0);
}

std::uint32_t Page::inputClockMs()
{
    return std::uint32_t(std::llround(emscripten_get_now()));
}

namespace {
std::unique_ptr<Page> page;
} // namespace

int startPage(Session::Options options)
{
    const double scale = emscripten_get_device_pixel_ratio();
    if (const auto problem = scaleProblem(scale, "the browser's zoom and the screen")) {
        const Streams console{nullptr,
                              [](std::string_view line) { emscripten_console_error(std::string(line).c_str()); }};
        const int status = refuse(console, *problem);
        kestivo_js_ended(status);
        return status;
    }
    page = std::make_unique<Page>(scale, std::move(options));
    // The form and its picture are on the page: what load-time figures time.
    EM_ASM(performance.mark('kestivo1-shown'));
    return 0;
}

} // namespace kestivo

using kestivo::page;

// The page's entry points, which its script (page.js) calls from the
// browser's events and animation frames. Each returns at once: the
// browser's event loop is the only one.
extern "C" {

EMSCRIPTEN_KEEPALIVE int kestivo_press(int button, double stampMs)
{
    return page && page->press(button, stampMs) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int kestivo_discards(double stampMs)
{
    return !page || page->discards(stampMs) ? 1 : 0;
}

// key: KeyEvent::Key's value; focused: the button with the focus, or -1.
EMSCRIPTEN_KEEPALIVE int kestivo_key(int key, int code, int pressed, int repeat, int shift, int otherModifiers,
                                     double stampMs, int focused)
{
    const kestivo::KeyEvent event{kestivo::KeyEvent::Key(key), code, pressed != 0, repeat != 0, shift != 0,
                                  otherModifiers != 0, std::uint32_t(std::llround(stampMs))};
    return page ? page->key(event, focused) : 0;
}

// An animation frame's time stamp: performance.now()'s clock.
EMSCRIPTEN_KEEPALIVE void kestivo_frame(double nowMs) { if (page) page->session().frame(nowMs); }
EMSCRIPTEN_KEEPALIVE void kestivo_rescale(double scale) { if (page) page->session().rescale(scale); }
EMSCRIPTEN_KEEPALIVE void kestivo_keyboard_lost() { if (page) page->session().keyboardLost(); }
EMSCRIPTEN_KEEPALIVE void kestivo_error_dismissed() { if (page) page->session().errorDismissed(); }

} // extern "C"
