#pragma once

#include "patterns/Patterns.h"
#include "surface/RasterSurface.h"

#include <cstdint>
#include <vector>

namespace kestivo {

// The window's drawn picture, in device pixels (one point is one device
// pixel, crisp at any scale), kept whole so that covering and uncovering the
// window loses nothing.
//
// It covers a fixed logical area, the window as it opens, which holds
// everything the routines can draw; a larger window shows the background
// beyond it, so resizing never costs picture memory.
//
// It also remembers which routines drew it since it was last cleared, so
// that at another scale it can draw them again: the routines are
// deterministic, so that picture is exactly what drawing at the new scale
// would have made.
class Picture {
public:
    // The scales a picture can be drawn at: beyond them it is a picture of
    // nothing or of more memory than any screen warrants.
    static constexpr double kMinScale = 0.25;
    static constexpr double kMaxScale = 8;

    // logicalDpi: the dots per inch of one logical pixel (96: 15 twips);
    // scale: device pixels per logical pixel.
    Picture(int logicalWidth, int logicalHeight, double logicalDpi, double scale);

    [[nodiscard]] RasterSurface& raster() { return raster_; }
    [[nodiscard]] const RasterSurface& raster() const { return raster_; }
    [[nodiscard]] double scale() const { return scale_; }

    // Brackets one routine drawing on raster(). A scale change asked for
    // meanwhile waits for its end, when the routine can be drawn again whole.
    // However the routine ends, a failure or an abandoned drawing included,
    // the picture takes scale changes again once this is gone.
    class Drawing {
    public:
        explicit Drawing(Picture& picture);
        ~Drawing();
        Drawing(const Drawing&) = delete;
        Drawing& operator=(const Drawing&) = delete;

        // The routine ran to its end: it is remembered for redraws, and a
        // scale change that waited is adopted (throwing what that throws).
        void finished(Routine drawn);

    private:
        Picture& picture_;
        bool over_ = false;
    };

    // Keeps one point one device pixel when the window's scale changes (it
    // moved to another screen): the picture is drawn again at the new scale,
    // kept within kMinScale to kMaxScale. Throws what allocating the new
    // picture throws, once: the picture stays as it was, and that scale is
    // not tried again, so every paint while the failure is reported still
    // shows the picture.
    void adoptScale(double scale);

    // The routines a redraw runs, in order.
    [[nodiscard]] const std::vector<Routine>& routines() const { return routines_; }

private:
    [[nodiscard]] int device(int logical) const;
    void routineOver();
    void redraw();

    int logicalWidth_;
    int logicalHeight_;
    double logicalDpi_;
    double scale_;
    double pendingScale_ = 0; // asked for during a routine
    double failedScale_ = 0;  // could not be allocated
    bool drawing_ = false;
    std::uint64_t clearsAtBegin_ = 0;
    RasterSurface raster_;
    std::vector<Routine> routines_;
};

} // namespace kestivo
