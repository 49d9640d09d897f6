#include "surface/RasterSurface.h"

#include "surface/Palette.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>
#include <cmath>
#include <stdexcept>

namespace kestivo {

namespace {
constexpr int kNoDirty = INT_MAX;

bool validResolution(double dotsPerInch)
{
    return dotsPerInch >= 1.0 && dotsPerInch <= 14400.0;
}
} // namespace

RasterSurface::RasterSurface(int widthPx, int heightPx, double dotsPerInch)
    : scale_(dotsPerInch)
{
    if (widthPx < 1 || heightPx < 1)
        throw std::invalid_argument("RasterSurface: the image needs at least one pixel");
    if (!validResolution(dotsPerInch))
        throw std::invalid_argument("RasterSurface: resolution out of range");
    allocate(widthPx, heightPx);
    dirtyX0_ = dirtyY0_ = kNoDirty;
    dirtyX1_ = dirtyY1_ = -1;
}

// A picture of the background. Sizes whose bytes would not fit the address
// space fail as any other allocation does.
void RasterSurface::allocate(int widthPx, int heightPx)
{
    const std::size_t count = std::size_t(widthPx) * std::size_t(heightPx);
    if (count > std::size_t(PTRDIFF_MAX) / sizeof(std::uint32_t))
        throw std::bad_alloc();
    auto next = std::make_unique_for_overwrite<std::uint32_t[]>(count);
    std::fill(next.get(), next.get() + count, kBackground.argb());
    pixels_ = std::move(next);
    width_ = widthPx;
    height_ = heightPx;
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
        pixels_[std::size_t(iy) * std::size_t(width_) + std::size_t(ix)] = colour.argb();
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
    std::fill(pixels_.get(), pixels_.get() + std::size_t(width_) * std::size_t(height_),
              kBackground.argb());
    ++clears_;
    dirtyAll();
    return Status::Ok;
}

void RasterSurface::dirtyAll()
{
    dirtyX0_ = dirtyY0_ = 0;
    dirtyX1_ = width_ - 1;
    dirtyY1_ = height_ - 1;
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
    for (int row = top; row <= bottom; ++row) {
        std::uint32_t* line = pixels_.get() + std::size_t(row) * std::size_t(width_);
        std::fill(line + left, line + right + 1, argb);
    }
    dirtyX0_ = std::min(dirtyX0_, left);
    dirtyY0_ = std::min(dirtyY0_, top);
    dirtyX1_ = std::max(dirtyX1_, right);
    dirtyY1_ = std::max(dirtyY1_, bottom);
}

void RasterSurface::rescale(int widthPx, int heightPx, double dotsPerInch)
{
    if (widthPx < 1 || heightPx < 1 || !validResolution(dotsPerInch))
        throw std::invalid_argument("RasterSurface: bad size or resolution");
    allocate(widthPx, heightPx);
    scale_ = TwipsScale(dotsPerInch);
    dirtyAll();
}

PixelRect RasterSurface::takeDirty()
{
    if (dirtyX1_ < 0)
        return {};
    const PixelRect r = PixelRect::fromCorners(dirtyX0_, dirtyY0_, dirtyX1_, dirtyY1_);
    dirtyX0_ = dirtyY0_ = kNoDirty;
    dirtyX1_ = dirtyY1_ = -1;
    return r;
}

} // namespace kestivo
