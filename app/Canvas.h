#pragma once

#include "RasterSurface.h"

#include <QWidget>

#include <exception>
#include <functional>
#include <optional>

namespace kestivo {

// Shows the drawn picture. The picture is a RasterSurface in device pixels
// (one point is one device pixel, crisp on high-dpi screens) that keeps
// everything drawn, so covering, uncovering and resizing the window loses
// nothing; paintEvent copies only the exposed rectangle.
class Canvas final : public QWidget {
    Q_OBJECT
public:
    // logicalDpi: the dots per inch of one logical pixel (96: 15 twips).
    Canvas(QWidget* parent, double logicalDpi, QSize minimumLogicalSize);

    RasterSurface& raster() { return *raster_; }

    // Where a failure in painting or resizing goes (an allocation that the
    // picture could not get): Qt's event dispatch must never see it.
    std::function<void(std::exception_ptr)> onFailure;
    [[nodiscard]] double devicePixelRatioUsed() const { return dpr_; }

    // Repaints what was drawn since the last call, synchronously: the frame
    // reaches the screen without running the event loop.
    void presentDirty();

    // Keeps one point one device pixel when the window's scale changes (it
    // moved to another screen): the picture so far is resampled.
    void adoptDevicePixelRatio(double dpr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ensureSize();
    void failed() noexcept;

    double logicalDpi_;
    double dpr_;
    QSize minimumLogicalSize_;
    std::optional<RasterSurface> raster_;
};

} // namespace kestivo
