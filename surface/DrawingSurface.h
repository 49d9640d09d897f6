#pragma once

#include <cstdint>
#include <span>

namespace kestivo {

// An RGB colour value, as the palette hands it out. Packed in one word so
// that it travels to the surface in a register, ready to store.
class Rgb {
public:
    constexpr Rgb() = default;
    constexpr Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b)
        : argb_(0xFF000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b)
    {
    }

    [[nodiscard]] constexpr std::uint8_t r() const { return std::uint8_t(argb_ >> 16); }
    [[nodiscard]] constexpr std::uint8_t g() const { return std::uint8_t(argb_ >> 8); }
    [[nodiscard]] constexpr std::uint8_t b() const { return std::uint8_t(argb_); }
    // 0xFFRRGGBB, the pixel format of the raster surfaces.
    [[nodiscard]] constexpr std::uint32_t argb() const { return argb_; }

    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;

private:
    std::uint32_t argb_ = 0xFF000000u;
};

// Every drawing operation reports whether it did its work; callers must look.
enum class Status { Ok, Failed };

// Line's two box styles: B draws the four sides, BF fills the box as well.
enum class BoxStyle { B, BF };

// A point as the routines hand it to the surface: twips, single precision.
struct Point {
    float x;
    float y;
};

// The drawing operations of the window's client area. Coordinates are twips
// from the client area's top-left corner, x right, y down. Coordinates that
// fall outside the visible area are not an error: they draw nothing.
class DrawingSurface {
public:
    DrawingSurface() = default;
    DrawingSurface(const DrawingSurface&) = delete;
    DrawingSurface& operator=(const DrawingSurface&) = delete;
    virtual ~DrawingSurface() = default;

    // Pen width in pixels for every later PSet and Line; must be >= 1.
    [[nodiscard]] virtual Status DrawWidth(int width) = 0;
    // One point in the current pen width (one pixel at width 1).
    [[nodiscard]] virtual Status PSet(float x, float y, Rgb colour) = 0;
    // The axis-aligned box with opposite corners (x1, y1) and (x2, y2).
    [[nodiscard]] virtual Status Line(float x1, float y1, float x2, float y2, Rgb colour,
                                      BoxStyle style) = 0;
    // Erase everything drawn, back to the background colour.
    [[nodiscard]] virtual Status Cls() = 0;

    // A run of points in one colour: a PSet for each, in order, each its own
    // operation with its status; the run ends at the first that fails, and
    // its status is the run's. Surfaces that can set points faster than one
    // call each override it; one that decorates another passes runs on.
    [[nodiscard]] virtual Status PSetRun(std::span<const Point> run, Rgb colour)
    {
        for (const Point& p : run)
            if (PSet(p.x, p.y, colour) != Status::Ok)
                return Status::Failed;
        return Status::Ok;
    }
};

} // namespace kestivo
