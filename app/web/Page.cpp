#include "web/Page.h"

#include "session/Commands.h"
#include "session/Layout.h"
#include "session/Session.h"
#include "session/Texts.h"

#include <emscripten.h>

#include <cmath>
#include <exception>
#include <string>

// The page's script (page.js): the DOM side of each call.
extern "C" {
void kestivo_js_form(const char* caption, int width, int height);
void kestivo_js_control(int kind, const char* name, const char* text, int left, int top, int width,
                        int height, int tabIndex, int rgb, double points, const char* help,
                        int button);
void kestivo_js_ready(const char* pictureName, int buttonPoints);
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
} // namespace

Page::Page(double scale)
{
    Session::Options options;
    options.decorate = wrapPictureSurface;
    session_ = std::make_unique<Session>(*this, scale, std::move(options));

    const layout::Size client = layout::clientSize(kLogical);
    kestivo_js_form(utf8(texts::kCaption).c_str(), client.width, client.height);
    for (const layout::Control& c : layout::kControls) {
        const Command* command = findCommand(c.name);
        const int button = command ? int(command - kCommands.data()) : -1;
        kestivo_js_control(int(c.kind), c.name, utf8(c.text).c_str(), kLogical.toPixels(c.left),
                           kLogical.toPixels(c.top), kLogical.toPixels(c.width),
                           kLogical.toPixels(c.height), c.tabIndex, packed(c.foreColour),
                           c.pointSize, command ? utf8(command->help).c_str() : "", button);
    }
    kestivo_js_ready(utf8(texts::kPictureName).c_str(), layout::kButtonFontPoints);
    kestivo_js_describe(texts::utf8(session_->describePicture()).c_str());
    showPicture();
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

// The whole picture, at whatever size it has now.
void Page::showPicture()
{
    const RasterSurface& raster = session_->picture().raster();
    present(DirtyRegion({PixelRect{0, 0, raster.width(), raster.height()}}));
}

void Page::present(const DirtyRegion& dirty)
{
    const RasterSurface& raster = session_->picture().raster();
    if (raster.width() != width_ || raster.height() != height_) {
        width_ = raster.width();
        height_ = raster.height();
        rgba_.assign(std::size_t(width_) * std::size_t(height_), 0);
        kestivo_js_canvas(width_, height_, session_->picture().scale());
        if (!(dirty.rects().size() == 1 && dirty.rects()[0] == PixelRect{0, 0, width_, height_})) {
            showPicture();
            return;
        }
    }
    const std::uint32_t* argb = raster.pixels();
    rects_.clear();
    for (const PixelRect& r : dirty) {
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

} // namespace kestivo
