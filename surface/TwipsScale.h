#pragma once

#include <cmath>

namespace kestivo {

// Twips (1/1440 inch) to device pixels. At 96 dpi one pixel is 15 twips.
// A coordinate maps to the pixel whose centre is nearest:
// floor(t * pixelsPerTwip + 0.5), so halves round towards +infinity. It
// multiplies rather than divides: a division per coordinate was the largest
// cost of setting a point. The result stays a double so that callers can
// range-check it before any conversion to int.
class TwipsScale {
public:
    static constexpr double kTwipsPerInch = 1440.0;

    explicit constexpr TwipsScale(double dotsPerInch = 96.0)
        : twipsPerPixel_(kTwipsPerInch / dotsPerInch), pixelsPerTwip_(dotsPerInch / kTwipsPerInch)
    {
    }

    [[nodiscard]] constexpr double twipsPerPixel() const { return twipsPerPixel_; }
    [[nodiscard]] constexpr double pixelsPerTwip() const { return pixelsPerTwip_; }

    [[nodiscard]] double toPixel(double twips) const
    {
        return std::floor(twips * pixelsPerTwip_ + 0.5);
    }

    // Whole-twip layout values (control positions, sizes) to whole pixels.
    [[nodiscard]] int toPixels(int twips) const
    {
        return int(std::lround(double(twips) / twipsPerPixel_));
    }

private:
    double twipsPerPixel_;
    double pixelsPerTwip_;
};

} // namespace kestivo
