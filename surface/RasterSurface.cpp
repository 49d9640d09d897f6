#include "surface/RasterSurface.h"

#include "surface/Palette.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <cmath>
#include <stdexcept>

namespace kestivo {

namespace {
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
    allocate(widthPx, heightPx, scale_);
}

// A picture of the background. Sizes whose bytes would not fit the address
// space fail as any other allocation does. The limit is checked before the
// pixel count is formed, which could wrap a 32-bit size_t (WebAssembly's).
void RasterSurface::allocate(int widthPx, int heightPx, const TwipsScale& scale)
{
    if (std::size_t(heightPx) > std::size_t(PTRDIFF_MAX) / sizeof(std::uint32_t) / std::size_t(widthPx))
        throw std::bad_alloc();
    const std::size_t count = std::size_t(widthPx) * std::size_t(heightPx);
    // Left unset (not zeroed): filled below.
    std::unique_ptr<std::uint32_t[]> next(new std::uint32_t[count]);
    const int across = (widthPx - 1) / kTile + 1, down = (heightPx - 1) / kTile + 1;
    auto marks = std::make_unique<TileMark[]>(std::size_t(across) * std::size_t(down));
    std::fill(next.get(), next.get() + count, kBackground.argb());
    pixels_ = std::move(next);
    tiles_ = std::move(marks);
    width_ = widthPx;
    height_ = heightPx;
    tilesAcross_ = across;
    tilesDown_ = down;
    scale_ = scale;
    frame_ = {pixels_.get(), widthPx, tiles_.get(), across, scale.pixelsPerTwip(), double(widthPx),
              double(heightPx)};
}

Status RasterSurface::DrawWidth(int width)
{
    if (!acceptsWidth(width))
        return Status::Failed;
    drawWidth_ = width;
    return Status::Ok;
}

Status RasterSurface::offPicture(float x, float y)
{
    return acceptsPoint(x, y) ? Status::Ok : Status::Failed;
}

Status RasterSurface::PSetRun(std::span<const Point> run, Rgb colour)
{
    if (drawWidth_ != 1) [[unlikely]]
        return DrawingSurface::PSetRun(run, colour);
    // Copies: a pixel store cannot alias them, so they stay in registers.
    const Frame f = frame_;
    const std::uint32_t argb = colour.argb();
    for (const Point& p : run)
        if (!setPixel(f, p.x, p.y, argb)) [[unlikely]]
            if (offPicture(p.x, p.y) != Status::Ok)
                return Status::Failed;
    return Status::Ok;
}

void RasterSurface::positionsOf(std::span<const Point> run, std::uint32_t* positions) const
{
    const Frame f = frame_;
    for (const Point& p : run) {
        std::ptrdiff_t ix = 0, iy = 0;
        *positions++ = locate(f, p.x, p.y, ix, iy) ? std::uint32_t(iy) << 16 | std::uint32_t(ix) : kOffPicture;
    }
}

void RasterSurface::setAt(std::span<const std::uint32_t> positions, Rgb colour)
{
    const Frame f = frame_;
    const std::uint32_t argb = colour.argb();
    for (const std::uint32_t at : positions)
        if (at != kOffPicture) [[likely]]
            store(f, std::ptrdiff_t(at & 0xFFFFu), std::ptrdiff_t(at >> 16), argb);
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
    markChanged(0, 0, width_ - 1, height_ - 1);
}

// Marks the tiles of the inclusive pixel box, which lies inside the picture.
void RasterSurface::markChanged(int left, int top, int right, int bottom)
{
    for (int row = top >> kTileShift; row <= bottom >> kTileShift; ++row) {
        TileMark* line = tiles_.get() + std::size_t(row) * std::size_t(tilesAcross_);
        std::fill(line + (left >> kTileShift), line + (right >> kTileShift) + 1, kChanged);
    }
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
    markChanged(left, top, right, bottom);
}

void RasterSurface::rescale(int widthPx, int heightPx, double dotsPerInch)
{
    if (widthPx < 1 || heightPx < 1 || !validResolution(dotsPerInch))
        throw std::invalid_argument("RasterSurface: bad size or resolution");
    allocate(widthPx, heightPx, TwipsScale(dotsPerInch));
    dirtyAll();
}

// Each row of tiles becomes its runs of marked tiles, cleared as they are
// taken: rows top to bottom, runs left to right, as a window system's
// regions keep them.
DirtyRegion RasterSurface::takeDirty()
{
    std::vector<PixelRect> rects;
    for (int row = 0; row < tilesDown_; ++row) {
        TileMark* line = tiles_.get() + std::size_t(row) * std::size_t(tilesAcross_);
        const int y = row * kTile, height = std::min(kTile, height_ - y);
        for (int col = 0; col < tilesAcross_;) {
            if (line[col] != kChanged) {
                ++col;
                continue;
            }
            const int first = col;
            while (col < tilesAcross_ && line[col] == kChanged)
                line[col++] = 0;
            const int x = first * kTile;
            rects.push_back({x, y, std::min(col * kTile, width_) - x, height});
        }
    }
    return DirtyRegion(std::move(rects));
}

} // namespace kestivo
