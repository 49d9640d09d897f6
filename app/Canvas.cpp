#include "Canvas.h"

#include "Palette.h"
#include "VectorState.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kestivo {

Canvas::Canvas(QWidget* parent, double logicalDpi, QSize pictureLogicalSize)
    : QWidget(parent), logicalDpi_(logicalDpi), dpr_(parent->devicePixelRatioF()),
      pictureLogicalSize_(pictureLogicalSize)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    const QSize device = devicePictureSize();
    raster_.emplace(device.width(), device.height(), logicalDpi_ * dpr_);
}

QSize Canvas::devicePictureSize() const
{
    return {int(std::ceil(pictureLogicalSize_.width() * dpr_)),
            int(std::ceil(pictureLogicalSize_.height() * dpr_))};
}

void Canvas::beginRoutine()
{
    drawing_ = true;
    clearsAtBegin_ = raster_->clears();
}

// Drawing a routine again paints over everything its earlier run painted
// (each pixel it touches takes the last colour the routine gives it,
// whatever was there), so the earlier run can be forgotten: the list never
// holds a routine twice. Clearing, routine or not, forgets all before it.
void Canvas::endRoutine(Routine drawn)
{
    drawing_ = false;
    if (raster_->clears() != clearsAtBegin_)
        routines_.clear();
    if (drawn) {
        std::erase(routines_, drawn);
        routines_.push_back(drawn);
    }
    if (pendingDpr_ > 0) {
        const double dpr = pendingDpr_;
        pendingDpr_ = 0;
        adoptDevicePixelRatio(dpr);
    }
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
    if (!(dpr > 0) || dpr == dpr_) {
        pendingDpr_ = 0;
        return;
    }
    if (drawing_) {
        pendingDpr_ = dpr;
        return;
    }
    dpr_ = dpr;
    const QSize device = devicePictureSize();
    raster_->rescale(device.width(), device.height(), logicalDpi_ * dpr_);
    redraw();
    update();
}

// Unpaced and unseen, straight into the picture.
void Canvas::redraw()
{
    const int width = raster_->drawWidth();
    for (Routine r : routines_)
        r(*raster_);
    (void)raster_->DrawWidth(width);
}

void Canvas::paintEvent(QPaintEvent* event)
{
    try {
        adoptDevicePixelRatio(devicePixelRatioF());
    } catch (...) {
        failed();
        return;
    }
    const QRectF exposed(event->rect());
    const QSize device = raster_->size();
    const QRectF picture(0, 0, device.width() / dpr_, device.height() / dpr_);
    const QRectF shown = exposed.intersected(picture);
    QPainter painter(this);
    if (shown != exposed)
        painter.fillRect(exposed, QColor::fromRgb(kBackground.argb()));
    if (!shown.isEmpty())
        raster_->paint(painter, shown,
                       QRectF(shown.x() * dpr_, shown.y() * dpr_, shown.width() * dpr_,
                              shown.height() * dpr_));
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
