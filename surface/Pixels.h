#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kestivo {

// A rectangle of device pixels: the left-top corner and the size. Empty when
// either side is 0.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    // The inclusive corners (x0, y0) and (x1, y1).
    static constexpr PixelRect fromCorners(int x0, int y0, int x1, int y1)
    {
        return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
    }
    [[nodiscard]] constexpr bool empty() const { return width <= 0 || height <= 0; }
    friend constexpr bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Where a picture changed: device-pixel rectangles that do not overlap, in
// rows top to bottom, each row left to right. What a window copies to the
// screen for one frame.
class DirtyRegion {
public:
    DirtyRegion() = default;
    explicit DirtyRegion(std::vector<PixelRect> rects) : rects_(std::move(rects)) {}

    [[nodiscard]] bool empty() const { return rects_.empty(); }
    [[nodiscard]] const std::vector<PixelRect>& rects() const { return rects_; }
    [[nodiscard]] auto begin() const { return rects_.begin(); }
    [[nodiscard]] auto end() const { return rects_.end(); }

private:
    std::vector<PixelRect> rects_;
};

// A picture held by value: 0xFFRRGGBB pixels, rows adjacent, top row first.
// What leaves a surface as a copy, never sharing its buffer.
class Pixels {
public:
    Pixels() = default;
    Pixels(int width, int height, std::uint32_t fill)
        : width_(width), height_(height), argb_(std::size_t(width) * std::size_t(height), fill)
    {
    }
    Pixels(int width, int height, const std::uint32_t* rows)
        : width_(width), height_(height), argb_(rows, rows + std::size_t(width) * std::size_t(height))
    {
    }

    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] const std::uint32_t* data() const { return argb_.data(); }
    [[nodiscard]] std::uint32_t pixel(int x, int y) const { return argb_[index(x, y)]; }
    void setPixel(int x, int y, std::uint32_t argb) { argb_[index(x, y)] = argb; }

    // The part within r (r lies inside the picture).
    [[nodiscard]] Pixels copy(PixelRect r) const
    {
        Pixels part(r.width, r.height, 0u);
        for (int row = 0; row < r.height; ++row)
            for (int col = 0; col < r.width; ++col)
                part.setPixel(col, row, pixel(r.x + col, r.y + row));
        return part;
    }

    friend bool operator==(const Pixels&, const Pixels&) = default;

private:
    [[nodiscard]] std::size_t index(int x, int y) const
    {
        return std::size_t(y) * std::size_t(width_) + std::size_t(x);
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> argb_;
};

} // namespace kestivo
