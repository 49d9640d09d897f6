#pragma once

#include "DrawingSurface.h"
#include "TwipsScale.h"

#include <QImage>
#include <QRect>

namespace kestivo {

// Draws into a QImage, one device pixel per point at pen width 1.
//
// Twips become pixels through TwipsScale (15 twips a pixel at 96 dpi, nearest
// pixel centre). All clipping is done in double precision before any
// conversion to int, so NaN, infinities and huge values can never reach an
// out-of-range float-to-int conversion: NaN coordinates fail, everything else
// outside the image is silently clipped.
//
// Pen width w: a point becomes a w x w square on its pixel, a B box has sides
// w pixels thick grown inwards from its corner pixels, a BF box is filled
// corner to corner, both corners included.
class RasterSurface final : public DrawingSurface {
public:
    static constexpr int kMaxDrawWidth = 32767;

    RasterSurface(int widthPx, int heightPx, double dotsPerInch = 96.0);

    [[nodiscard]] Status DrawWidth(int width) override;
    [[nodiscard]] Status PSet(float x, float y, Rgb colour) override;
    [[nodiscard]] Status Line(float x1, float y1, float x2, float y2, Rgb colour,
                              BoxStyle style) override;
    [[nodiscard]] Status Cls() override;

    [[nodiscard]] int drawWidth() const { return drawWidth_; }
    [[nodiscard]] const TwipsScale& scale() const { return scale_; }

    // The pixels. The reference stays valid, but drawing writes straight into
    // this buffer: take snapshot() to keep a picture.
    [[nodiscard]] const QImage& image() const { return image_; }
    [[nodiscard]] QImage snapshot() const { return image_.copy(); }

    // Grow (never shrink) to at least the given size; drawn pixels are kept and
    // new area gets the background colour.
    void growTo(int widthPx, int heightPx);

    // Moves the picture to another resolution (a window moved to a screen of
    // another scale): the pixels are scaled, nearest neighbour, into an image
    // of the new size, and later drawing is at the new resolution.
    void rescale(int widthPx, int heightPx, double dotsPerInch);

    // Device-pixel rectangle drawn since the last call, then forget it.
    [[nodiscard]] QRect takeDirty();

private:
    [[gnu::noinline]] Status wideDot(float x, float y, Rgb colour);
    void replaceImage(int widthPx, int heightPx, double factor);
    void fill(double x0, double y0, double x1, double y1, std::uint32_t argb);
    void attach();

    QImage image_;
    TwipsScale scale_;
    std::uint32_t* bits_ = nullptr; // image_'s pixels, detached once
    qsizetype stride_ = 0;          // in pixels
    int width_ = 0;
    int height_ = 0;
    int drawWidth_ = 1;
    int dirtyX0_ = 0, dirtyY0_ = 0, dirtyX1_ = -1, dirtyY1_ = -1;
};

} // namespace kestivo
