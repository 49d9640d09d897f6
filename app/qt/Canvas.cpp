#include "qt/Canvas.h"

#include "qt/Blit.h"
#include "session/Layout.h"
#include "session/Picture.h"
#include "surface/VectorState.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

#include <cmath>

namespace kestivo {

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
    const QRectF picture(0, 0, raster.width() / scale, raster.height() / scale);
    // A read-only view of the picture's own pixels, gone before paint
    // returns; the painter copies what it draws.
    const QImage view(reinterpret_cast<const uchar*>(raster.pixels()), raster.width(), raster.height(),
                      qsizetype(raster.width()) * qsizetype(sizeof(std::uint32_t)), QImage::Format_RGB32);
    QPainter painter(this);
    for (const QRect& rect : event->region()) {
        const QRectF exposed(rect);
        const QRectF shown = exposed.intersected(picture);
        if (shown != exposed)
            painter.fillRect(exposed, QColor::fromRgb(layout::kBackColour.argb()));
        drawImageInStrips(painter, shown, view,
                          QRectF(shown.x() * scale, shown.y() * scale, shown.width() * scale,
                                 shown.height() * scale));
    }
    painter.end();
    clearUpperVectorState();
}

void Canvas::present(const DirtyRegion& dirty)
{
    if (!isVisible())
        return;
    // Device pixels to the logical pixels that cover them.
    const double scale = picture_.scale();
    QRegion logical;
    for (const PixelRect& d : dirty) {
        const int x0 = int(std::floor(d.x / scale));
        const int y0 = int(std::floor(d.y / scale));
        const int x1 = int(std::ceil((d.x + d.width) / scale));
        const int y1 = int(std::ceil((d.y + d.height) / scale));
        logical += QRect(x0, y0, x1 - x0, y1 - y0);
    }
    logical &= rect();
    if (!logical.isEmpty())
        repaint(logical);
    clearUpperVectorState();
}

} // namespace kestivo
