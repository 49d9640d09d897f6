#pragma once

#include "DrawingSurface.h"
#include "Pacer.h"

#include <functional>

namespace kestivo {

class Canvas;

// The window's drawing surface: draws into the canvas's picture and, while a
// routine runs, paces the points and pushes frames to the screen so the user
// watches the pattern being drawn.
class ScreenSurface final : public DrawingSurface {
public:
    // pointsPerSecond 0: unpaced (tests, benchmarks).
    ScreenSurface(Canvas& canvas, Clock& clock, double pointsPerSecond);

    [[nodiscard]] Status DrawWidth(int width) override;
    [[nodiscard]] Status PSet(float x, float y, Rgb colour) override;
    [[nodiscard]] Status Line(float x1, float y1, float x2, float y2, Rgb colour,
                              BoxStyle style) override;
    [[nodiscard]] Status Cls() override;

    // Bracket one routine: the schedule starts, and the last frame is shown.
    void beginRoutine();
    void endRoutine();

    [[nodiscard]] int framesPresented() const { return frames_; }
    // Called after each frame reaches the screen (tests watch with it).
    std::function<void()> onFrame;
    // Called after each frame within a routine, to let the window repaint;
    // may throw to end the routine.
    std::function<void()> betweenFrames;

private:
    void present(bool last = false);

    Canvas& canvas_;
    Pacer pacer_;
    int frames_ = 0;
};

} // namespace kestivo
