#include "qt/Canvas.h"

#include "qt/Blit.h"
#include "form/Layout.h"
#include "session/Picture.h"

#include <QImage>
#include <QPaintEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace kestivo {

Canvas::Canvas(QWidget* parent, const Picture& picture) : QWidget(parent), picture_(picture)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

namespace {

// An opaque 0xFFRRGGBB pixel is the same in each.
bool holdsRgb32(const QImage& image)
{
    const QImage::Format f = image.format();
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied;
}

// The device pixels a rectangle fills: those whose centres lie inside.
QRect devicePixels(const QRectF& r)
{
    const auto edge = [](double v) { return int(std::floor(v + 0.5)); };
    const int left = edge(r.left()), top = edge(r.top());
    return {left, top, edge(r.right()) - left, edge(r.bottom()) - top};
}

} // namespace

// Qt allocates as it goes, and inside Qt does not check. What may run out of
// memory is asked of it only while this much can be had; else it fails as
// the program's own allocations do, and the failure is reported.
void requireHeadroom()
{
    constexpr std::size_t kHeadroom = 256 * 1024;
    void* room = std::malloc(kHeadroom);
    if (!room)
        throw std::bad_alloc();
    std::free(room);
}

// Where the painter paints is an image of 32-bit pixels at the picture's
// scale (a raster backing store, or a grab's pixmap): the exposed pixels
// are copied into it row by row. Nothing is converted and nothing is
// allocated, so frames keep coming when memory runs short, where the
// painter's own image drawing allocates and does not check.
bool Canvas::copyInto(QPainter& painter, const QRegion& exposed)
{
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return false;
    auto& image = *static_cast<QImage*>(device);
    const double scale = picture_.scale();
    const QTransform toDevice = painter.deviceTransform();
    if (!holdsRgb32(image) || toDevice.type() > QTransform::TxScale || toDevice.m11() != scale ||
        toDevice.m22() != scale)
        return false;
    const RasterSurface& raster = picture_.raster();
    const QRect bounds = image.rect();
    const std::uint32_t background = kBackground.argb();
    // Where the picture's first pixel lands in the device.
    const QPoint origin = toDevice.map(QPointF(0, 0)).toPoint();
    for (const QRect& logical : exposed) {
        const QRect target = devicePixels(toDevice.mapRect(QRectF(logical))) & bounds;
        const int x0 = target.left(), x1 = target.right() + 1;
        for (int y = target.top(); y <= target.bottom(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
            const int py = y - origin.y();
            int from = std::clamp(origin.x(), x0, x1), to = std::clamp(origin.x() + raster.width(), x0, x1);
            if (py < 0 || py >= raster.height())
                from = to = x1;
            std::fill(row + x0, row + from, background);
            if (from < to) {
                const std::uint32_t* line = raster.pixels() + std::size_t(py) * std::size_t(raster.width());
                std::copy(line + (from - origin.x()), line + (to - origin.x()), row + from);
            }
            std::fill(row + to, row + x1, background);
        }
    }
    return true;
}

void Canvas::paintEvent(QPaintEvent* event)
{
    // Qt tells of a new ratio only from 6.6 on; every change repaints.
    if (devicePixelRatioF() != picture_.scale() && onRescale)
        onRescale(devicePixelRatioF());
    QPainter painter(this);
    if (copyInto(painter, event->region()))
        return;
    // Elsewhere (another scale, another pixel format) through the painter,
    // from a read-only view of the picture's own pixels.
    const RasterSurface& raster = picture_.raster();
    const double scale = picture_.scale();
    const QRectF picture(0, 0, raster.width() / scale, raster.height() / scale);
    const QImage view(reinterpret_cast<const uchar*>(raster.pixels()), raster.width(), raster.height(),
                      qsizetype(raster.width()) * qsizetype(sizeof(std::uint32_t)), QImage::Format_RGB32);
    for (const QRect& rect : event->region()) {
        const QRectF exposed(rect), shown = exposed.intersected(picture);
        if (shown != exposed)
            painter.fillRect(exposed, QColor::fromRgb(kBackground.argb()));
        drawImageInStrips(painter, shown, view, QRectF(shown.topLeft() * scale, shown.size() * scale));
    }
}

void Canvas::present(const DirtyRegion& dirty)
{
    requireHeadroom();
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
    update(logical & rect());
}

} // namespace kestivo
