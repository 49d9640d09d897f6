// libFuzzer target: the raster surface alone, fast enough to explore values:
// any float bits, pen widths and resolutions, on small pictures.
//
// Comparing the whole picture after every operation is what makes the
// differential target slow, so each operation is checked within its own
// area only: a shadow of the picture is kept there by the drawing rules, the
// pixels the operation changed must be the rules' and lie in the dirty
// rectangle, and its status must be as the rules say (only NaN coordinates
// and pen widths outside 1-32767 fail). The whole picture is compared with
// the shadow once, at the end, which finds any pixel written outside an
// operation's area; held copies must never change.
//
// Input: width, height and resolution, then operations: 0 DrawWidth, 1 PSet,
// 2 Line B, 3 Line BF, 4 Cls, 5 rescale, 6 hold a copy, 7 check the copies.

#include "surface/Palette.h"
#include "surface/RasterSurface.h"

#include "FuzzInput.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

using namespace kestivo;
using fuzz::require;

namespace {

// The checks' pixel loops: coverage feedback from them would only slow the
// search, which is for the surface's paths.
#define KESTIVO_UNCOVERED __attribute__((no_sanitize("coverage")))

// Pixel visits left for this input: a long input of picture-wide
// operations would otherwise fall below the rate that makes values worth
// exploring.
long long gWork = 0;

struct Reader : fuzz::ByteReader {
    using ByteReader::ByteReader;

    // A coordinate in twips: any bits, twips near the picture, a pixel's
    // rounding edge give or take a few ulps, or a value at the edge of the
    // float range.
    float twips(double twipsPerPixel)
    {
        switch (byte() % 4) {
        case 0:
            return std::bit_cast<float>(word());
        case 1:
            return float(std::int16_t(half())) * 0.75f;
        case 2: {
            float edge = float((std::int8_t(byte()) - 0.5) * twipsPerPixel);
            const std::uint8_t nudge = byte();
            const float towards = nudge & 0x80 ? -INFINITY : INFINITY;
            for (int i = 0; i < (nudge & 3); ++i)
                edge = std::nextafter(edge, towards);
            return edge;
        }
        default: {
            static constexpr std::array<float, 12> kEdges{
                0.0f, -0.0f, INFINITY, -INFINITY, NAN, FLT_MAX, -FLT_MAX, FLT_MIN,
                std::numeric_limits<float>::denorm_min(), 2147483648.0f, -2147483648.0f, 1e20f};
            return kEdges[byte() % kEdges.size()];
        }
        }
    }

    int penWidth()
    {
        switch (byte() % 8) {
        case 0:
            return std::int32_t(word());
        case 1: {
            static constexpr std::array<int, 7> kEdges{0, -1, 32767, 32768, 16384, INT_MIN, INT_MAX};
            return kEdges[byte() % kEdges.size()];
        }
        default:
            return 1 + byte() % 6;
        }
    }

    // Valid resolutions are 1 to 14400 dpi; anything else must be refused.
    double dotsPerInch()
    {
        switch (byte() % 4) {
        case 0:
            return std::bit_cast<double>(dword());
        case 1: {
            static constexpr std::array<double, 8> kEdges{1.0, 14400.0, 0.0, -96.0, 14400.5, 0.9999, 1e-300, NAN};
            return kEdges[byte() % kEdges.size()];
        }
        default:
            return 24 + half() / 64.0;
        }
    }

    int side() { return 1 + byte() % 64; }
};

bool validResolution(double dpi)
{
    return dpi >= 1.0 && dpi <= 14400.0;
}

// The rules' picture, kept up to date only where operations draw.
struct Shadow {
    int w, h;
    double dpi;
    int pen = 1;
    std::vector<std::uint32_t> px;

    Shadow(int width, int height, double dotsPerInch)
        : w(width), h(height), dpi(dotsPerInch), px(std::size_t(w) * std::size_t(h), kBackground.argb())
    {
    }

    // The pixel whose centre is nearest, halves upwards.
    double pixelOf(float twips) const { return std::floor(double(twips) * (dpi / 1440.0) + 0.5); }
    std::uint32_t& at(int x, int y) { return px[std::size_t(y) * std::size_t(w) + std::size_t(x)]; }
};

bool within(const PixelRect& r, int x, int y)
{
    return x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height;
}

bool within(const DirtyRegion& region, int x, int y)
{
    return std::any_of(region.begin(), region.end(), [&](const PixelRect& r) { return within(r, x, y); });
}

bool overlap(const PixelRect& a, const PixelRect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// What the operation drew: rectangles within the picture, none overlapping
// another (a frame would copy their pixels twice).
DirtyRegion takeDirty(RasterSurface& s, const Shadow& m)
{
    DirtyRegion dirty = s.takeDirty();
    const auto& rects = dirty.rects();
    gWork -= (long long)(rects.size() * rects.size());
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const PixelRect& r = rects[i];
        require(!r.empty() && r.x >= 0 && r.y >= 0 && r.x + r.width <= m.w && r.y + r.height <= m.h);
        for (std::size_t j = 0; j < i; ++j)
            require(!overlap(rects[j], r));
    }
    return dirty;
}

// Draws the pixel box [left, right] x [top, bottom] (bounds may be
// infinite) where inside(x, y) holds into the shadow, and checks the
// surface's pixels there and that the dirty region covers every change.
template <typename Inside>
KESTIVO_UNCOVERED void checkArea(RasterSurface& s, Shadow& m, double left, double top, double right,
                                 double bottom, std::uint32_t c, Inside inside)
{
    const DirtyRegion dirty = takeDirty(s, m);
    const double x0 = std::max(left, 0.0), x1 = std::min(right, double(m.w - 1));
    const double y0 = std::max(top, 0.0), y1 = std::min(bottom, double(m.h - 1));
    if (!(x0 <= x1 && y0 <= y1))
        return;
    gWork -= (long long)((x1 - x0 + 1) * (y1 - y0 + 1));
    for (int y = int(y0); y <= int(y1); ++y)
        for (int x = int(x0); x <= int(x1); ++x) {
            std::uint32_t& want = m.at(x, y);
            const bool changes = inside(double(x), double(y)) && want != c;
            if (changes) {
                want = c;
                require(within(dirty, x, y));
            }
            require(s.pixel(x, y) == want);
        }
}

KESTIVO_UNCOVERED bool same(const Pixels& image, const Shadow& m)
{
    gWork -= (long long)m.px.size() / 4;
    return image.width() == m.w && image.height() == m.h &&
           std::equal(m.px.begin(), m.px.end(), image.data());
}

struct Held {
    Pixels image;
    Shadow expected;
};

void checkHeld(const std::vector<Held>& held)
{
    for (const Held& h : held)
        require(same(h.image, h.expected));
}

void draw(RasterSurface& s, Shadow& m, Reader& in, int kind)
{
    const auto all = [](double, double) { return true; };
    if (kind == 0) {
        const int width = in.penWidth();
        const bool ok = width >= 1 && width <= RasterSurface::kMaxDrawWidth;
        require((s.DrawWidth(width) == Status::Ok) == ok);
        if (ok)
            m.pen = width;
        require(s.penWidth() == m.pen);
        (void)takeDirty(s, m);
        return;
    }
    if (kind == 4) {
        require(s.Cls() == Status::Ok);
        checkArea(s, m, 0, 0, m.w - 1, m.h - 1, kBackground.argb(), all);
        return;
    }
    const double tpp = 1440.0 / m.dpi;
    const float x1 = in.twips(tpp), y1 = in.twips(tpp);
    const float x2 = kind == 1 ? 0.0f : in.twips(tpp), y2 = kind == 1 ? 0.0f : in.twips(tpp);
    const Rgb colour = QBColor(in.byte() % 16);
    const std::uint32_t c = colour.argb();
    if (kind == 1) {
        const bool ok = !std::isnan(x1) && !std::isnan(y1);
        require((s.PSet(x1, y1, colour) == Status::Ok) == ok);
        if (!ok)
            return (void)takeDirty(s, m);
        // A pen-wide square on the point's pixel, the extra pixel of an even
        // width to the right and below.
        const double lead = double((m.pen - 1) / 2);
        const double x = m.pixelOf(x1) - lead, y = m.pixelOf(y1) - lead;
        return checkArea(s, m, x, y, x + m.pen - 1, y + m.pen - 1, c, all);
    }
    const bool ok = !std::isnan(x1) && !std::isnan(y1) && !std::isnan(x2) && !std::isnan(y2);
    const BoxStyle style = kind == 3 ? BoxStyle::BF : BoxStyle::B;
    require((s.Line(x1, y1, x2, y2, colour, style) == Status::Ok) == ok);
    if (!ok)
        return (void)takeDirty(s, m);
    const double ax = m.pixelOf(x1), ay = m.pixelOf(y1), bx = m.pixelOf(x2), by = m.pixelOf(y2);
    const double l = std::min(ax, bx), r = std::max(ax, bx);
    const double t = std::min(ay, by), b = std::max(ay, by);
    if (style == BoxStyle::BF)
        return checkArea(s, m, l, t, r, b, c, all);
    // Sides pen pixels thick, grown inwards from the corners.
    const double p = m.pen;
    checkArea(s, m, l, t, r, b, c, [&](double x, double y) {
        return x - l < p || r - x < p || y - t < p || b - y < p;
    });
}

void rescale(RasterSurface& s, Shadow& m, Reader& in)
{
    const int w = in.side(), h = in.side();
    const double dpi = in.dotsPerInch();
    if (!validResolution(dpi)) {
        bool refused = false;
        try {
            s.rescale(w, h, dpi);
        } catch (const std::invalid_argument&) {
            refused = true;
        }
        require(refused && s.width() == m.w && s.height() == m.h);
        return;
    }
    s.rescale(w, h, dpi);
    const int pen = m.pen;
    m = Shadow(w, h, dpi);
    m.pen = pen;
    require(s.penWidth() == pen && s.scale().twipsPerPixel() == 1440.0 / dpi);
    // All of it, each pixel once.
    const DirtyRegion whole = takeDirty(s, m);
    long long area = 0;
    for (const PixelRect& r : whole)
        area += (long long)r.width * r.height;
    require(area == (long long)w * h);
    require(same(s.snapshot(), m));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    gWork = 1 << 17;
    const int w = in.side(), h = in.side();
    const double dpi = in.dotsPerInch();
    if (!validResolution(dpi)) {
        bool refused = false;
        try {
            RasterSurface s(w, h, dpi);
        } catch (const std::invalid_argument&) {
            refused = true;
        }
        require(refused);
        return 0;
    }
    RasterSurface surface(w, h, dpi);
    Shadow model(w, h, dpi);
    require(surface.takeDirty().empty());
    std::vector<Held> held;
    while (in.more() && gWork > 0) {
        const int kind = in.byte() % 8;
        if (kind < 5) {
            draw(surface, model, in, kind);
        } else if (kind == 5) {
            rescale(surface, model, in);
        } else if (kind == 6) {
            if (held.size() == 3)
                held.erase(held.begin());
            held.push_back({surface.snapshot(), model});
        } else {
            checkHeld(held);
        }
    }
    require(same(surface.snapshot(), model));
    checkHeld(held);
    return 0;
}
