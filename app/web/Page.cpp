#include "web/Page.h"

#include "session/Commands.h"
#include "session/Layout.h"
#include "session/Session.h"
#include "session/Texts.h"

#include <emscripten.h>

#include <algorithm>
#include <chrono>
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
void kestivo_js_blit(const std::uint8_t* rgba, int width, int height, const int* rects, int count);
void kestivo_js_busy(int busy);
void kestivo_js_describe(const char* text);
void kestivo_js_error(const char* title, const char* message);
int kestivo_js_error_open();
void kestivo_js_ended(int status);
void kestivo_js_pump();
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

Clock::Time PageClock::now()
{
    const std::chrono::duration<double, std::milli> ms(emscripten_get_now());
    return Time(std::chrono::duration_cast<Duration>(ms));
}

void PageClock::sleepUntil(Time t)
{
    const double ms = std::chrono::duration<double, std::milli>(t - now()).count();
    // A browser's timers count whole milliseconds: rounded up, a wait ends
    // at its time, not just before it.
    emscripten_sleep(unsigned(std::max(0.0, std::ceil(ms))));
    ++sleeps_;
}

void PageClock::yield()
{
    emscripten_sleep(0);
    ++sleeps_;
}

Page::Page(double scale)
{
    Session::Options options;
    options.clock = &clock_;
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
    const std::uint64_t stamp = std::uint32_t(std::llround(stampMs));
    // Judged again when it runs: a routine queued before it may end after
    // the moment it was given.
    queue([this, button, stamp] {
        if (!session_->discardsInput(stamp))
            session_->click(kCommands[std::size_t(button)].button);
    });
    return true;
}

bool Page::discards(double stampMs) const
{
    return session_->ended() || session_->discardsInput(std::uint32_t(std::llround(stampMs)));
}

void Page::rescale(double scale)
{
    try {
        session_->picture().adoptScale(scale);
        showPicture();
    } catch (...) {
        session_->failLater(std::current_exception());
    }
}

void Page::runQueued()
{
    while (!tasks_.empty() && !session_->ended()) {
        const std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        task();
        if (!session_->ended())
            kestivo_js_describe(texts::utf8(session_->describePicture()).c_str());
    }
}

void Page::queue(std::function<void()> task)
{
    tasks_.push_back(std::move(task));
    kestivo_js_pump();
}

// The whole picture, at whatever size it has now (a scale change that
// waited for a routine is adopted at its end).
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
        rgba_.assign(std::size_t(width_) * std::size_t(height_) * 4, 0);
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
            for (int x = r.x; x < r.x + r.width; ++x) {
                const std::uint32_t p = argb[row + std::size_t(x)];
                std::uint8_t* out = &rgba_[(row + std::size_t(x)) * 4];
                out[0] = std::uint8_t(p >> 16);
                out[1] = std::uint8_t(p >> 8);
                out[2] = std::uint8_t(p);
                out[3] = 0xFF;
            }
        }
        rects_.insert(rects_.end(), {r.x, r.y, r.width, r.height});
    }
    // One call a frame: the canvas takes each rectangle from one view.
    if (!rects_.empty())
        kestivo_js_blit(rgba_.data(), width_, height_, rects_.data(), int(rects_.size() / 4));
}

// The pacer sleeps for each frame, which hands the thread to the browser;
// a drawing that runs behind its pace does not, so it yields here instead.
void Page::paintBetweenFrames()
{
    if (clock_.sleeps() == sleepsAtFrame_)
        clock_.yield();
    sleepsAtFrame_ = clock_.sleeps();
}

void Page::flushInput()
{
    clock_.yield();
}

void Page::showBusy(bool busy)
{
    kestivo_js_busy(busy ? 1 : 0);
}

void Page::reportError(const std::string& title, const std::string& message)
{
    kestivo_js_error(title.c_str(), message.c_str());
    constexpr unsigned kPollMs = 50;
    while (kestivo_js_error_open())
        emscripten_sleep(kPollMs);
}

void Page::exit(int status)
{
    tasks_.clear();
    kestivo_js_ended(status);
}

void Page::later(std::function<void()> task)
{
    queue(std::move(task));
}

std::uint32_t Page::inputClockMs()
{
    return std::uint32_t(std::llround(emscripten_get_now()));
}

} // namespace kestivo
