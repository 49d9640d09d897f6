#pragma once

#include "RasterSurface.h"

#include <QWidget>

#include <exception>
#include <functional>
#include <optional>
#include <vector>

namespace kestivo {

// Shows the drawn picture. The picture is a RasterSurface in device pixels
// (one point is one device pixel, crisp on high-dpi screens) that keeps
// everything drawn, so covering and uncovering the window loses nothing;
// paintEvent copies only the exposed rectangle.
//
// The picture covers a fixed logical area, the window as it opens, which
// holds everything the routines can draw. A larger window shows the
// background beyond it, so resizing never costs picture memory.
//
// The canvas also remembers which routines drew the picture since it was
// last cleared, so that at another scale it can draw them again: the
// routines are deterministic, so that picture is exactly what drawing at
// the new scale would have made.
class Canvas final : public QWidget {
    Q_OBJECT
public:
    using Routine = void (*)(DrawingSurface&);

    // logicalDpi: the dots per inch of one logical pixel (96: 15 twips).
    Canvas(QWidget* parent, double logicalDpi, QSize pictureLogicalSize);

    RasterSurface& raster() { return *raster_; }

    // Where a failure in painting or resizing goes (an allocation that the
    // picture could not get): Qt's event dispatch must never see it.
    std::function<void(std::exception_ptr)> onFailure;
    [[nodiscard]] double devicePixelRatioUsed() const { return dpr_; }

    // Repaints what was drawn since the last call, synchronously: the frame
    // reaches the screen without running the event loop.
    void presentDirty();

    // Bracket one routine drawing on raster(). A scale change asked for
    // meanwhile waits for its end, when the routine can be drawn again whole.
    void beginRoutine();
    void endRoutine(Routine drawn);

    // Keeps one point one device pixel when the window's scale changes (it
    // moved to another screen): the picture is drawn again at the new scale.
    void adoptDevicePixelRatio(double dpr);

    // The routines a redraw runs, in order.
    [[nodiscard]] const std::vector<Routine>& routines() const { return routines_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    [[nodiscard]] QSize devicePictureSize() const;
    void redraw();
    void failed() noexcept;

    double logicalDpi_;
    double dpr_;
    double pendingDpr_ = 0; // asked for during a routine
    bool drawing_ = false;
    std::uint64_t clearsAtBegin_ = 0;
    QSize pictureLogicalSize_;
    std::optional<RasterSurface> raster_;
    std::vector<Routine> routines_;
};

} // namespace kestivo
