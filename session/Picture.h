#pragma once

#include "patterns/Patterns.h"
#include "surface/RasterSurface.h"

#include <optional>
#include <string>
#include <string_view>
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

    // A routine was drawn to its end on raster(): it is remembered for
    // redraws. One that cleared the picture forgets all before it.
    void drawn(Routine routine, bool cleared);
    // A routine cut short: what it drew is not drawn again, and if it
    // cleared the picture, nothing before it is either.
    void cutShort(bool cleared);

    // Keeps one point one device pixel when the window's scale changes (it
    // moved to another screen): the picture is drawn again at the new scale,
    // kept within kMinScale to kMaxScale, from the routines remembered.
    // True if the scale changed. Throws what allocating the new picture
    // throws, once: the picture stays as it was, and that scale is not tried
    // again, so every paint while the failure is reported still shows the
    // picture.
    bool adoptScale(double scale);

    // The routines a redraw runs, in order.
    [[nodiscard]] const std::vector<Routine>& routines() const { return routines_; }

private:
    [[nodiscard]] int device(int logical) const;
    void redraw();

    int logicalWidth_;
    int logicalHeight_;
    double logicalDpi_;
    double scale_;
    double failedScale_ = 0; // could not be allocated
    RasterSurface raster_;
    std::vector<Routine> routines_;
};

// A scale asked for at start-up that the picture cannot be drawn at: what is
// wrong, in one line naming where the scale came from; nothing if it is fine.
// Every front-end refuses such a scale the same way, rather than draw at
// another. (A change while running is kept within the range instead.)
[[nodiscard]] std::optional<std::string> scaleProblem(double scale, std::string_view from);
// The same for a setting's text (an environment variable), naming it.
[[nodiscard]] std::optional<std::string> scaleSettingProblem(std::string_view setting, std::string_view value);

} // namespace kestivo
