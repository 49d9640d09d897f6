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
void kestivo_js_form(const char* caption, const char* pictureName);
// Buttons come in tab order, after the other controls: the DOM's order is
// the one screen readers follow.
void kestivo_js_control(int kind, const char* name, const char* text, int rgb, const char* help, int button);
// fit: the form's scale; lengths in CSS pixels, each a whole number of
// device pixels.
void kestivo_js_frame(double fit, double margin, double border, double captionHeight, double captionFont, double width,
                      double height);
// lineHeight: 0 for the browser's own.
void kestivo_js_place(const char* name, double left, double top, double width, double height, double fontSize,
                      double lineHeight);
void kestivo_js_ready();
void kestivo_js_canvas(int width, int height, double ratio, double scale);
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
    kestivo_js_control(int(c.kind), c.name, utf8(c.text).c_str(), packed(c.foreColour),
                       button < 0 ? "" : utf8(kCommands[std::size_t(button)].help).c_str(), button);
}

// The window's own parts around the form, in logical pixels: the page's
// margin, the frame and the title line.
constexpr double kMargin = 8, kBorder = 2, kCaption = 20, kCaptionPoints = 9;
constexpr double kWindowWidth = 800 + 2 * (kBorder + kMargin);
constexpr double kWindowHeight = 552 + kCaption + 2 * (kBorder + kMargin);

double pointsToPixels(double points)
{
    return points * layout::kLogicalDpi / 72;
}
} // namespace

Page::Page(double ratio, Session::Options options)
    : session_(std::make_unique<Session>(*this, ratio, std::move(options))), ratio_(ratio)
{
    kestivo_js_form(utf8(texts::kCaption).c_str(), utf8(texts::kPictureName).c_str());
    for (const layout::Control& c : layout::kControls)
        if (c.kind != layout::Kind::CommandButton)
            showControl(c);
    for (const layout::Control* c : layout::kTabOrder)
        showControl(*c);
    kestivo_js_describe(texts::utf8(session_->describePicture()).c_str());
}

void Page::fit(double width, double height, double ratio, const Metrics& labelFace)
{
    double fit = layout::fitScale(width, height, kWindowWidth, kWindowHeight);
    if (fit < 1) // with a device pixel spare, for the rounding of each part to device pixels
        fit = layout::fitScale(width - 1 / ratio, height - 1 / ratio, kWindowWidth, kWindowHeight);
    ratio_ = ratio;
    labelFace_ = labelFace;
    session_->rescale(ratio * fit);
    layOut();
    present({}); // the first time, the whole canvas
}

// Everything at the picture's scale, in whole device pixels: the canvas
// lies on device pixels, and the controls where the picture's own
// coordinates put them.
void Page::layOut()
{
    const double scale = session_->picture().scale();
    const double fit = scale / ratio_;
    const TwipsScale device(layout::kLogicalDpi * scale);
    const auto css = [this](long devicePixels) { return double(devicePixels) / ratio_; };
    const auto part = [&](double logical) { return css(std::max(1L, std::lround(std::floor(logical * scale)))); };
    const layout::Size client = layout::clientSize(device);
    kestivo_js_frame(fit, part(kMargin), part(kBorder), part(kCaption), pointsToPixels(kCaptionPoints) * fit,
                     css(client.width), css(client.height));
    for (const layout::Control& c : layout::kControls) {
        const bool label = c.kind == layout::Kind::Label;
        const double em = pointsToPixels(label ? c.pointSize : layout::kButtonFontPoints) * fit;
        // The line whose baseline puts the face's em box at the box's top:
        // the browser centres the face's ascent and descent in it.
        const Metrics& f = labelFace_;
        const double line = label ? 2 * layout::textBaseline(em, f.ascent, f.descent) - em * (f.ascent - f.descent) : 0;
        kestivo_js_place(c.name, css(device.toPixels(c.left)), css(device.toPixels(c.top)),
                         css(device.toPixels(c.width)), css(device.toPixels(c.height)), em, line);
    }
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
    const double scale = session_->picture().scale();
    const bool resized = whole.width != width_ || whole.height != height_ || scale != scale_;
    if (resized) { // the canvas anew, all of it
        width_ = whole.width;
        height_ = whole.height;
        scale_ = scale;
        rgba_.assign(std::size_t(width_) * std::size_t(height_), 0);
        kestivo_js_canvas(width_, height_, ratio_, scale);
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
    options.tabLeavesForm = true; // a page never traps the keyboard
    page = std::make_unique<Page>(scale, std::move(options));
    kestivo_js_ready(); // fits the form to the window, and shows it
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
// The layout viewport's size in CSS pixels, the device-pixel ratio, and the
// labels' face's ascent and descent (in ems).
EMSCRIPTEN_KEEPALIVE void kestivo_fit(double width, double height, double ratio, double ascent, double descent)
{
    if (page)
        page->fit(width, height, ratio, {ascent, descent});
}
EMSCRIPTEN_KEEPALIVE void kestivo_keyboard_lost() { if (page) page->session().keyboardLost(); }
EMSCRIPTEN_KEEPALIVE void kestivo_error_dismissed() { if (page) page->session().errorDismissed(); }

} // extern "C"
