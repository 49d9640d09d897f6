#pragma once

#include "surface/DrawingSurface.h"
#include "surface/Pixels.h"
#include "surface/TwipsScale.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kestivo {

// Draws into a pixel buffer of its own, one device pixel per point at pen
// width 1.
//
// Twips become pixels through TwipsScale (15 twips a pixel at 96 dpi, nearest
// pixel centre). All clipping is done in double precision before any
// conversion to int, so NaN, infinities and huge values can never reach an
// out-of-range float-to-int conversion: NaN coordinates fail, everything else
// outside the picture is silently clipped.
//
// Pen width w: a point becomes a w x w square on its pixel, a B box has sides
// w pixels thick grown inwards from its corner pixels, a BF box is filled
// corner to corner, both corners included.
//
// The buffer is plain 32-bit 0xFFRRGGBB pixels, rows adjacent, which any
// window system can show as it is (a QImage view, a 32-bit DIB). It is never
// handed out to keep: what leaves the surface is a copy (snapshot()), or a
// read-only view for the length of one paint. Allocating it throws
// std::bad_alloc on failure.
class RasterSurface final : public DrawingSurface {
public:
    static constexpr int kMaxDrawWidth = 32767;

    RasterSurface(int widthPx, int heightPx, double dotsPerInch = 96.0);

    // What the surface refuses, at any size and scale: a pen width outside
    // 1 to kMaxDrawWidth, and a point (or a box's corner) with a NaN
    // coordinate. Everything else draws, or falls off the picture.
    [[nodiscard]] static constexpr bool acceptsWidth(int width) { return width >= 1 && width <= kMaxDrawWidth; }
    [[nodiscard]] static constexpr bool acceptsPoint(float x, float y) { return x == x && y == y; }

    [[nodiscard]] Status DrawWidth(int width) override;
    // Inline, for callers that know the surface's type: their points then
    // cost no call.
    [[nodiscard]] Status PSet(float x, float y, Rgb colour) override
    {
        if (drawWidth_ != 1) [[unlikely]]
            return wideDot(x, y, colour);
        return setPixel(frame_, x, y, colour.argb()) ? Status::Ok : offPicture(x, y);
    }
    // The routines' points: one call a run, the pen looked at once.
    [[nodiscard]] Status PSetRun(std::span<const Point> run, Rgb colour) override;

    // Where points at pen width 1 land, worked out once to be set later by
    // setAt, any number of times: a position packs a pixel's row and column
    // (16 bits each), or is kOffPicture. Only for a picture no larger than
    // kMaxPositioned either way, at this size and scale.
    static constexpr int kMaxPositioned = 0xFFFF;
    static constexpr std::uint32_t kOffPicture = 0xFFFF'FFFFu;
    [[nodiscard]] bool positioned() const { return width_ <= kMaxPositioned && height_ <= kMaxPositioned; }
    void positionsOf(std::span<const Point> run, std::uint32_t* positions) const;
    // Sets the pixels at these positions in colour, as PSetRun at pen width
    // 1 sets the points they came from.
    void setAt(std::span<const std::uint32_t> positions, Rgb colour);
    [[nodiscard]] Status Line(float x1, float y1, float x2, float y2, Rgb colour,
                              BoxStyle style) override;
    [[nodiscard]] Status Cls() override;

    // The pen width DrawWidth last set.
    [[nodiscard]] int penWidth() const { return drawWidth_; }
    [[nodiscard]] const TwipsScale& scale() const { return scale_; }
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }

    // 0xFFRRGGBB of one pixel inside the picture.
    [[nodiscard]] std::uint32_t pixel(int x, int y) const
    {
        return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)];
    }

    // A copy of the picture, independent of later drawing.
    [[nodiscard]] Pixels snapshot() const { return {width_, height_, pixels_.get()}; }

    // The pixels themselves, read-only: width() x height(), rows adjacent.
    // Valid until the next rescale; for showing them, not for keeping.
    [[nodiscard]] const std::uint32_t* pixels() const { return pixels_.get(); }

    // Moves to another size and resolution (a window moved to a screen of
    // another scale). The picture starts over as the background: the pixels
    // of one resolution are no picture at another.
    void rescale(int widthPx, int heightPx, double dotsPerInch);

    // How many times Cls has run.
    [[nodiscard]] std::uint64_t clears() const { return clears_; }

    // Where the picture was drawn on since the last call, then forget it:
    // whole tiles of kTile x kTile pixels, clipped to the picture, so that
    // a frame copies what changed and not the box around it.
    static constexpr int kTileShift = 4;
    static constexpr int kTile = 1 << kTileShift;
    [[nodiscard]] DirtyRegion takeDirty();

private:
    // A tile's mark. Not a character type, so that a compiler knows its
    // stores leave the pixels and the frame alone.
    using TileMark = std::uint16_t;
    static constexpr TileMark kChanged = 1;

    // What setting one pixel needs, in types that a pixel store cannot
    // alias, so that a compiler may keep them in registers across points.
    struct Frame {
        std::uint32_t* pixels = nullptr; // rows adjacent
        std::ptrdiff_t stride = 0;       // width
        TileMark* tiles = nullptr;       // one per tile, rows adjacent
        std::ptrdiff_t tileStride = 0;   // tiles across
        double pixelsPerTwip = 0;
        double widthLimit = 0, heightLimit = 0;
    };

    // The pixel of a point at pen width 1; false when it is off the picture.
    [[gnu::always_inline]] static bool locate(const Frame& f, float x, float y, std::ptrdiff_t& ix,
                                              std::ptrdiff_t& iy)
    {
        // For v >= 0, truncation is floor(v): TwipsScale::toPixel's
        // rounding without a call.
        const double vx = double(x) * f.pixelsPerTwip + 0.5;
        const double vy = double(y) * f.pixelsPerTwip + 0.5;
        if (!(vx >= 0.0 && vx < f.widthLimit && vy >= 0.0 && vy < f.heightLimit)) [[unlikely]]
            return false;
        ix = std::ptrdiff_t(vx);
        iy = std::ptrdiff_t(vy);
        return true;
    }
    [[gnu::always_inline]] static void store(const Frame& f, std::ptrdiff_t ix, std::ptrdiff_t iy,
                                             std::uint32_t argb)
    {
        f.pixels[iy * f.stride + ix] = argb;
        f.tiles[(iy >> kTileShift) * f.tileStride + (ix >> kTileShift)] = kChanged;
    }
    // A point at pen width 1; false when it is off the picture.
    [[gnu::always_inline]] static bool setPixel(const Frame& f, float x, float y, std::uint32_t argb)
    {
        std::ptrdiff_t ix = 0, iy = 0;
        if (!locate(f, x, y, ix, iy)) [[unlikely]]
            return false;
        store(f, ix, iy, argb);
        return true;
    }

    [[gnu::noinline]] Status wideDot(float x, float y, Rgb colour);
    // What PSet says of a point off the picture. It reads and writes no
    // memory, so callers' values stay in registers across it.
    [[gnu::noinline, gnu::const]] static Status offPicture(float x, float y);
    void fill(double x0, double y0, double x1, double y1, std::uint32_t argb);
    // A picture of the background at this size and scale; on failure the
    // surface is as it was.
    void allocate(int widthPx, int heightPx, const TwipsScale& scale);
    void dirtyAll();
    void markChanged(int left, int top, int right, int bottom);

    std::unique_ptr<std::uint32_t[]> pixels_; // width_ x height_, rows adjacent
    std::unique_ptr<TileMark[]> tiles_;       // tilesAcross_ x tilesDown_
    int tilesAcross_ = 0;
    int tilesDown_ = 0;
    Frame frame_;
    TwipsScale scale_;
    int width_ = 0;
    int height_ = 0;
    int drawWidth_ = 1;
    std::uint64_t clears_ = 0;
};

} // namespace kestivo
