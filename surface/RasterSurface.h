#pragma once

#include "surface/DrawingSurface.h"
#include "surface/Pixels.h"
#include "surface/TwipsScale.h"

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

    [[nodiscard]] Status DrawWidth(int width) override;
    [[nodiscard]] Status PSet(float x, float y, Rgb colour) override;
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

    // Device-pixel rectangle drawn since the last call, then forget it.
    [[nodiscard]] PixelRect takeDirty();

private:
    [[gnu::noinline]] Status wideDot(float x, float y, Rgb colour);
    void fill(double x0, double y0, double x1, double y1, std::uint32_t argb);
    void allocate(int widthPx, int heightPx);
    void dirtyAll();

    std::unique_ptr<std::uint32_t[]> pixels_; // width_ x height_, rows adjacent
    TwipsScale scale_;
    int width_ = 0;
    int height_ = 0;
    int drawWidth_ = 1;
    std::uint64_t clears_ = 0;
    int dirtyX0_ = 0, dirtyY0_ = 0, dirtyX1_ = -1, dirtyY1_ = -1;
};

} // namespace kestivo
