#pragma once

#include "session/FrontEnd.h"
#include "session/Pacer.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace kestivo {

class DrawingSurface;
class Session;

// Wraps the picture's surface for the routines: the page draws on it as it
// is (nullptr); a test build of the page links its own, to inject faults.
std::unique_ptr<DrawingSurface> wrapPictureSurface(DrawingSurface& picture);

// Time in the browser: performance.now(), the clock that stamps its input
// events. A sleep hands the page's only thread back to the browser, which
// meanwhile paints and delivers input.
class PageClock final : public Clock {
public:
    Time now() override;
    void sleepUntil(Time t) override;
    // Hands the thread back for one turn of the browser's event loop.
    void yield();
    // Sleeps so far: the page has had a turn since a count it was given.
    [[nodiscard]] std::uint64_t sleeps() const { return sleeps_; }

private:
    std::uint64_t sleeps_ = 0;
};

// The window as a page: the form built from the layout table in the DOM,
// the picture on a canvas backed by device pixels, and the session's calls
// carried out there. The page's script calls in through the functions
// exported in main.cpp.
class Page final : public FrontEnd {
public:
    explicit Page(double scale);
    ~Page() override;

    [[nodiscard]] Session& session() { return *session_; }

    // A button pressed (by pointer or key) at stamp, in ms of the input
    // clock: queued to run unless it is discarded.
    bool press(int button, double stampMs);
    // Whether input stamped stampMs is discarded now.
    [[nodiscard]] bool discards(double stampMs) const;
    // The device-pixel ratio changed: the picture is drawn again at it.
    void rescale(double scale);
    // Runs what was queued, in order. A routine among them sleeps between
    // frames, so the script calls this asynchronously, one call at a time.
    void runQueued();

    void present(const DirtyRegion& dirty) override;
    void paintBetweenFrames() override;
    void flushInput() override;
    void showBusy(bool busy) override;
    void reportError(const std::string& title, const std::string& message) override;
    void exit(int status) override;
    void later(std::function<void()> task) override;
    [[nodiscard]] std::uint32_t inputClockMs() override;

private:
    void showPicture();
    void queue(std::function<void()> task);

    PageClock clock_;
    std::unique_ptr<Session> session_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::uint8_t> rgba_; // the picture as the canvas takes it
    std::vector<int> rects_;         // a frame's rectangles, for the canvas
    int width_ = 0, height_ = 0;     // the canvas's device pixels
    std::uint64_t sleepsAtFrame_ = 0;
};

} // namespace kestivo
