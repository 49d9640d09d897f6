#include "qt/Canvas.h"

#include "session/Layout.h"
#include "session/Picture.h"
#include "surface/VectorState.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kestivo {

namespace {
// Pixels a paint hands Qt at a time (see paintEvent); Qt 6.4 passes some
// 50,000 and more to its workers.
constexpr double kStripPixels = 16384;
} // namespace

Canvas::Canvas(QWidget* parent, Picture& picture) : QWidget(parent), picture_(picture)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void Canvas::failed() noexcept
{
    if (onFailure)
        onFailure(std::current_exception());
    else
        std::terminate(); // nobody to report to: as Qt would, but here
}

void Canvas::paintEvent(QPaintEvent* event)
{
    try {
        picture_.adoptScale(devicePixelRatioF());
    } catch (...) {
        failed();
        return;
    }
    const RasterSurface& raster = picture_.raster();
    const double scale = picture_.scale();
    const QRectF exposed(event->rect());
    const QRectF picture(0, 0, raster.width() / scale, raster.height() / scale);
    const QRectF shown = exposed.intersected(picture);
    QPainter painter(this);
    if (shown != exposed)
        painter.fillRect(exposed, QColor::fromRgb(layout::kBackColour.argb()));
    if (!shown.isEmpty()) {
        // A read-only view of the picture's own pixels, gone before paint
        // returns; the painter copies what it draws. In strips: Qt hands a
        // larger image to worker threads and waits for them, for ever if
        // none can start.
        const QImage view(reinterpret_cast<const uchar*>(raster.pixels()), raster.width(),
                          raster.height(), qsizetype(raster.width()) * qsizetype(sizeof(std::uint32_t)),
                          QImage::Format_RGB32);
        const QRectF source(shown.x() * scale, shown.y() * scale, shown.width() * scale,
                            shown.height() * scale);
        const double rows = std::max(1.0, std::floor(kStripPixels / std::max(1.0, source.width())));
        for (double top = source.top(); top < source.bottom(); top += rows) {
            const QRectF strip(source.left(), top, source.width(), std::min(rows, source.bottom() - top));
            painter.drawImage(QRectF(strip.x() / scale, strip.y() / scale, strip.width() / scale,
                                     strip.height() / scale),
                              view, strip);
        }
    }
    painter.end();
    clearUpperVectorState();
}

void Canvas::present(PixelRect dirty)
{
    // Device pixels to the logical pixels that cover them.
    const double scale = picture_.scale();
    const int x0 = int(std::floor(dirty.x / scale));
    const int y0 = int(std::floor(dirty.y / scale));
    const int x1 = int(std::ceil((dirty.x + dirty.width) / scale));
    const int y1 = int(std::ceil((dirty.y + dirty.height) / scale));
    const QRect logical = QRect(x0, y0, x1 - x0, y1 - y0).intersected(rect());
    if (!logical.isEmpty() && isVisible())
        repaint(logical);
    clearUpperVectorState();
}

} // namespace kestivo
