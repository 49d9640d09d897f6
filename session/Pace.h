#pragma once

namespace kestivo {

// How fast the user watches a routine drawn: points a second, counted from
// its first frame. The front-end's frame clock says the time; the pace says
// how many points are due by then. A gap of more than kMaxLag frames (the
// process was stopped, the page hidden) moves the schedule on, so that the
// drawing resumes at the pace, longer by the stall, and every colour pass is
// still seen.
class Pace {
public:
    static constexpr double kPointsPerSecond = 1'000'000;
    // The desktop front-ends' frame rate; a page's frames come at its
    // display's.
    static constexpr double kFramesPerSecond = 60;
    static constexpr double kFrameMs = 1000 / kFramesPerSecond;
    static constexpr int kMaxLag = 2;

    // pointsPerSecond 0 (or less): everything is due at the first frame.
    explicit Pace(double pointsPerSecond) : pointsPerSecond_(pointsPerSecond) {}

    [[nodiscard]] double pointsPerSecond() const { return pointsPerSecond_; }

    // A new drawing: its schedule starts at its first frame.
    void restart() { started_ = false; }

    // The points due at a frame at nowMs (milliseconds of any steady
    // clock). The first frame shows a frame's worth.
    [[nodiscard]] long long due(double nowMs);

private:
    double pointsPerSecond_;
    double startMs_ = 0;
    double lastMs_ = 0;
    bool started_ = false;
};

// A desktop frame clock's timer: ticks kFrameMs apart on a grid from the
// first, however the timer rounds; a tick held up a frame or more (a window
// dragged, the process stopped) starts the grid again from then, so frames
// missed are not made up.
class FrameGrid {
public:
    // The first tick is due at firstMs.
    void start(double firstMs) { nextMs_ = firstMs; }
    // A tick came at nowMs: the milliseconds until the next is due.
    [[nodiscard]] double next(double nowMs)
    {
        nextMs_ += Pace::kFrameMs;
        if (nextMs_ <= nowMs)
            nextMs_ = nowMs + Pace::kFrameMs;
        return nextMs_ - nowMs;
    }

private:
    double nextMs_ = 0;
};

} // namespace kestivo
