#pragma once

#include "session/Pacer.h"
#include "surface/DrawingSurface.h"
#include "surface/Pixels.h"

#include <functional>

namespace kestivo {

class Picture;

// The window's drawing surface: draws into the picture and, while a routine
// runs, paces the points and presents frames so that the user watches the
// pattern being drawn.
class PacedSurface final : public DrawingSurface {
public:
    // Shows these device pixels of the picture on the screen now.
    using Present = std::function<void(const DirtyRegion&)>;

    // pointsPerSecond 0: unpaced (tests, benchmarks).
    PacedSurface(Picture& picture, Clock& clock, double pointsPerSecond, Present present);

    [[nodiscard]] Status DrawWidth(int width) override;
    [[nodiscard]] Status PSet(float x, float y, Rgb colour) override;
    [[nodiscard]] Status Line(float x1, float y1, float x2, float y2, Rgb colour,
                              BoxStyle style) override;
    [[nodiscard]] Status Cls() override;
    // A run goes to the picture in pieces that end where the pacer looks at
    // the clock, with a frame after any piece that brings one due.
    [[nodiscard]] Status PSetRun(std::span<const Point> run, Rgb colour) override;

    // Bracket one routine: the schedule starts, and the last frame is shown.
    void beginRoutine();
    void endRoutine();
    // Waits until the points drawn so far are due, with a frame if one falls
    // due: the routine ends on schedule, not up to a batch early.
    void keepToSchedule();

    // Called after each frame reaches the screen (tests watch with it).
    std::function<void()> onFrame;
    // Called after each frame within a routine, to let the window repaint;
    // may throw to end the routine.
    std::function<void()> betweenFrames;

private:
    void present(bool last = false);

    Picture& picture_;
    Pacer pacer_;
    Present present_;
};

} // namespace kestivo
