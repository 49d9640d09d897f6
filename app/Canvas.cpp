#include "Canvas.h"

#include "VectorState.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace kestivo {

Canvas::Canvas(QWidget* parent, double logicalDpi, QSize minimumLogicalSize)
    : QWidget(parent), logicalDpi_(logicalDpi), dpr_(parent->devicePixelRatioF()),
      minimumLogicalSize_(minimumLogicalSize)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    ensureSize();
}

void Canvas::ensureSize()
{
    const QSize logical = size().expandedTo(minimumLogicalSize_);
    const int w = int(std::ceil(logical.width() * dpr_));
    const int h = int(std::ceil(logical.height() * dpr_));
    if (!raster_)
        raster_.emplace(w, h, logicalDpi_ * dpr_);
    else
        raster_->growTo(w, h);
}

void Canvas::resizeEvent(QResizeEvent* event)
{
    try {
        ensureSize();
    } catch (...) {
        failed();
    }
    QWidget::resizeEvent(event);
}

void Canvas::failed() noexcept
{
    if (onFailure)
        onFailure(std::current_exception());
    else
        std::terminate(); // nobody to report to: as Qt would, but here
}

void Canvas::adoptDevicePixelRatio(double dpr)
{
    if (dpr == dpr_ || !(dpr > 0))
        return;
    dpr_ = dpr;
    const QSize logical = size().expandedTo(minimumLogicalSize_);
    const int w = int(std::ceil(logical.width() * dpr_));
    const int h = int(std::ceil(logical.height() * dpr_));
    raster_->rescale(w, h, logicalDpi_ * dpr_);
}

void Canvas::paintEvent(QPaintEvent* event)
{
    try {
        adoptDevicePixelRatio(devicePixelRatioF());
    } catch (...) {
        failed();
        return;
    }
    const QRect r = event->rect();
    const QRectF source(r.x() * dpr_, r.y() * dpr_, r.width() * dpr_, r.height() * dpr_);
    QPainter painter(this);
    painter.drawImage(QRectF(r), raster_->image(), source);
    painter.end();
    clearUpperVectorState();
}

void Canvas::presentDirty()
{
    const QRect dirty = raster_->takeDirty();
    if (dirty.isNull())
        return;
    // Device pixels to the logical pixels that cover them.
    const int x0 = int(std::floor(dirty.left() / dpr_));
    const int y0 = int(std::floor(dirty.top() / dpr_));
    const int x1 = int(std::ceil((dirty.right() + 1) / dpr_));
    const int y1 = int(std::ceil((dirty.bottom() + 1) / dpr_));
    const QRect logical = QRect(x0, y0, x1 - x0, y1 - y0).intersected(rect());
    if (!logical.isEmpty() && isVisible())
        repaint(logical);
    clearUpperVectorState();
}

} // namespace kestivo
