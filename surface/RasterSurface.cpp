#include "RasterSurface.h"

#include "Palette.h"
#include "VectorState.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>

namespace kestivo {

namespace {
constexpr int kNoDirty = INT_MAX;
}

RasterSurface::RasterSurface(int widthPx, int heightPx, double dotsPerInch)
    : scale_(dotsPerInch)
{
    if (widthPx < 1 || heightPx < 1)
        throw std::invalid_argument("RasterSurface: the image needs at least one pixel");
    if (!(dotsPerInch >= 1.0 && dotsPerInch <= 14400.0))
        throw std::invalid_argument("RasterSurface: resolution out of range");
    replaceImage(widthPx, heightPx, 1.0);
    dirtyX0_ = dirtyY0_ = kNoDirty;
    dirtyX1_ = dirtyY1_ = -1;
}

void RasterSurface::attach()
{
    bits_ = reinterpret_cast<std::uint32_t*>(image_.bits());
    stride_ = image_.bytesPerLine() / qsizetype(sizeof(std::uint32_t));
    width_ = image_.width();
    height_ = image_.height();
}

Status RasterSurface::DrawWidth(int width)
{
    if (width < 1 || width > kMaxDrawWidth)
        return Status::Failed;
    drawWidth_ = width;
    return Status::Ok;
}

Status RasterSurface::PSet(float x, float y, Rgb colour)
{
    if (drawWidth_ != 1) [[unlikely]]
        return wideDot(x, y, colour);
    // The hot path: one pixel, written directly. For v >= 0, int(v) is
    // floor(v), so this is TwipsScale::toPixel's rounding without a call.
    const double vx = double(x) * scale_.pixelsPerTwip() + 0.5;
    const double vy = double(y) * scale_.pixelsPerTwip() + 0.5;
    if (vx >= 0.0 && vx < width_ && vy >= 0.0 && vy < height_) {
        const int ix = int(vx);
        const int iy = int(vy);
        bits_[iy * stride_ + ix] = colour.argb();
        // Successive points are neighbours: the bounds rarely move.
        if (ix < dirtyX0_) [[unlikely]]
            dirtyX0_ = ix;
        if (ix > dirtyX1_) [[unlikely]]
            dirtyX1_ = ix;
        if (iy < dirtyY0_) [[unlikely]]
            dirtyY0_ = iy;
        if (iy > dirtyY1_) [[unlikely]]
            dirtyY1_ = iy;
        return Status::Ok;
    }
    return std::isnan(x) || std::isnan(y) ? Status::Failed : Status::Ok;
}

// A point in a pen wider than one pixel: a square on the point's pixel.
Status RasterSurface::wideDot(float x, float y, Rgb colour)
{
    const double px = scale_.toPixel(x);
    const double py = scale_.toPixel(y);
    if (std::isnan(px) || std::isnan(py))
        return Status::Failed;
    const double lead = std::floor((drawWidth_ - 1) / 2.0);
    fill(px - lead, py - lead, px - lead + drawWidth_ - 1, py - lead + drawWidth_ - 1,
         colour.argb());
    return Status::Ok;
}

Status RasterSurface::Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style)
{
    const double ax = scale_.toPixel(x1), ay = scale_.toPixel(y1);
    const double bx = scale_.toPixel(x2), by = scale_.toPixel(y2);
    if (std::isnan(ax) || std::isnan(ay) || std::isnan(bx) || std::isnan(by))
        return Status::Failed;
    const double left = std::min(ax, bx), right = std::max(ax, bx);
    const double top = std::min(ay, by), bottom = std::max(ay, by);
    const std::uint32_t argb = colour.argb();
    if (style == BoxStyle::BF) {
        fill(left, top, right, bottom, argb);
        return Status::Ok;
    }
    // Sides grow inwards; a box thinner than two pen widths ends up filled.
    const double w = drawWidth_ - 1;
    fill(left, top, right, std::min(top + w, bottom), argb);     // top
    fill(left, std::max(bottom - w, top), right, bottom, argb);  // bottom
    fill(left, top, std::min(left + w, right), bottom, argb);    // left
    fill(std::max(right - w, left), top, right, bottom, argb);   // right
    return Status::Ok;
}

Status RasterSurface::Cls()
{
    image_.fill(kBackground.argb());
    clearUpperVectorState();
    dirtyX0_ = dirtyY0_ = 0;
    dirtyX1_ = width_ - 1;
    dirtyY1_ = height_ - 1;
    return Status::Ok;
}

// Fills the inclusive pixel box [x0, x1] x [y0, y1] (x0 <= x1, y0 <= y1, no
// NaN), clipped to the image. Bounds may be infinite or far outside int.
void RasterSurface::fill(double x0, double y0, double x1, double y1, std::uint32_t argb)
{
    if (x1 < 0.0 || y1 < 0.0 || x0 >= width_ || y0 >= height_ || x0 > x1 || y0 > y1)
        return;
    const int left = int(std::max(x0, 0.0));
    const int top = int(std::max(y0, 0.0));
    const int right = int(std::min(x1, double(width_ - 1)));
    const int bottom = int(std::min(y1, double(height_ - 1)));
    for (int row = top; row <= bottom; ++row)
        std::fill(bits_ + row * stride_ + left, bits_ + row * stride_ + right + 1, argb);
    dirtyX0_ = std::min(dirtyX0_, left);
    dirtyY0_ = std::min(dirtyY0_, top);
    dirtyX1_ = std::max(dirtyX1_, right);
    dirtyY1_ = std::max(dirtyY1_, bottom);
}

void RasterSurface::growTo(int widthPx, int heightPx)
{
    const int w = std::max(width_, widthPx);
    const int h = std::max(height_, heightPx);
    if (w != width_ || h != height_)
        replaceImage(w, h, 1.0);
}

void RasterSurface::rescale(int widthPx, int heightPx, double dotsPerInch)
{
    if (widthPx < 1 || heightPx < 1 || !(dotsPerInch >= 1.0 && dotsPerInch <= 14400.0))
        throw std::invalid_argument("RasterSurface: bad size or resolution");
    replaceImage(widthPx, heightPx,
                 dotsPerInch * scale_.twipsPerPixel() / TwipsScale::kTwipsPerInch);
    scale_ = TwipsScale(dotsPerInch);
    dirtyX0_ = dirtyY0_ = 0;
    dirtyX1_ = width_ - 1;
    dirtyY1_ = height_ - 1;
}

// A new image of the given size: the background, with the old picture (if
// any) drawn over its top-left corner at factor times its size, nearest
// neighbour.
void RasterSurface::replaceImage(int widthPx, int heightPx, double factor)
{
    QImage next(widthPx, heightPx, QImage::Format_RGB32);
    if (next.isNull())
        throw std::bad_alloc();
    next.fill(kBackground.argb());
    if (!image_.isNull()) {
        QPainter painter(&next);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRectF(0, 0, width_ * factor, height_ * factor), image_);
    }
    image_ = std::move(next);
    clearUpperVectorState();
    attach();
}

QRect RasterSurface::takeDirty()
{
    if (dirtyX1_ < 0)
        return {};
    const QRect r(QPoint(dirtyX0_, dirtyY0_), QPoint(dirtyX1_, dirtyY1_));
    dirtyX0_ = dirtyY0_ = kNoDirty;
    dirtyX1_ = dirtyY1_ = -1;
    return r;
}

} // namespace kestivo
