// The raster surface: pixels, boxes, clearing, clipping and hostile input,
// and the final colours the patterns leave on it.

#include "patterns/Patterns.h"
#include "support/Surfaces.h"
#include "surface/Palette.h"
#include "surface/RasterSurface.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cfloat>
#include <climits>
#include <cstdlib>
#include <new>
#include <cmath>
#include <limits>
#include <vector>

using namespace kestivo;

#ifndef __has_feature
#define __has_feature(x) 0
#endif

namespace {

// 11950 x 8220 twips, the whole layout, at 96 dpi.
constexpr int kW = 800, kH = 550;

std::uint32_t at(const RasterSurface& s, int x, int y)
{
    return s.pixel(x, y);
}

int countDiffering(const Pixels& a, const Pixels& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

const std::uint32_t kGreen = kBackground.argb();
const Rgb kRed = QBColor(12);

} // namespace

TEST(RasterSurface, PointIsOnePixelAtTheNearestPixelCentre)
{
    RasterSurface s(kW, kH);
    EXPECT_EQ(s.scale().twipsPerPixel(), 15.0);
    const Pixels before = s.snapshot();

    ASSERT_EQ(s.PSet(900, 800, kRed), Status::Ok);
    EXPECT_EQ(countDiffering(before, s.snapshot()), 1);
    EXPECT_EQ(at(s, 60, 53), kRed.argb()); // 800 / 15 = 53.33

    // Halves round up: 7.5 twips is pixel 1, 7.4 is pixel 0.
    RasterSurface t(4, 4);
    ASSERT_EQ(t.PSet(7.5f, 0, kRed), Status::Ok);
    ASSERT_EQ(t.PSet(7.4f, 15, kRed), Status::Ok);
    EXPECT_EQ(at(t, 1, 0), kRed.argb());
    EXPECT_EQ(at(t, 0, 1), kRed.argb());

    // The factor follows the resolution: at 192 dpi a pixel is 7.5 twips.
    RasterSurface hi(kW, kH, 192.0);
    EXPECT_EQ(hi.scale().twipsPerPixel(), 7.5);
    ASSERT_EQ(hi.PSet(900, 800, kRed), Status::Ok);
    EXPECT_EQ(at(hi, 120, 107), kRed.argb());
}

TEST(RasterSurface, BoxOutlineFillAndPenWidth)
{
    RasterSurface s(100, 100);
    // (150, 150)-(1350, 1350) twips is pixels 10..90.
    ASSERT_EQ(s.Line(150, 150, 1350, 1350, kRed, BoxStyle::B), Status::Ok);
    EXPECT_EQ(at(s, 10, 10), kRed.argb());
    EXPECT_EQ(at(s, 90, 90), kRed.argb());
    EXPECT_EQ(at(s, 50, 10), kRed.argb());
    EXPECT_EQ(at(s, 11, 50), kGreen) << "width 1: one pixel thick";
    EXPECT_EQ(at(s, 50, 50), kGreen) << "B leaves the inside alone";

    // Corners may come in any order.
    RasterSurface f(100, 100);
    ASSERT_EQ(f.Line(1350, 1350, 150, 150, kRed, BoxStyle::BF), Status::Ok);
    int filled = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            filled += at(f, x, y) == kRed.argb();
    EXPECT_EQ(filled, 81 * 81);

    RasterSurface w(100, 100);
    ASSERT_EQ(w.DrawWidth(2), Status::Ok);
    ASSERT_EQ(w.Line(150, 150, 1350, 1350, kRed, BoxStyle::B), Status::Ok);
    for (int d : {0, 1}) {
        EXPECT_EQ(at(w, 10 + d, 50), kRed.argb());
        EXPECT_EQ(at(w, 90 - d, 50), kRed.argb());
        EXPECT_EQ(at(w, 50, 10 + d), kRed.argb());
        EXPECT_EQ(at(w, 50, 90 - d), kRed.argb());
    }
    EXPECT_EQ(at(w, 12, 50), kGreen);
    EXPECT_EQ(at(w, 9, 50), kGreen);

    // A wide pen turns a point into a square.
    ASSERT_EQ(w.PSet(750, 750, kRed), Status::Ok);
    EXPECT_EQ(at(w, 50, 50), kRed.argb());
    EXPECT_EQ(at(w, 51, 51), kRed.argb());
    EXPECT_EQ(at(w, 49, 49), kGreen);
}

TEST(RasterSurface, ClsRestoresTheStartImageExactly)
{
    RasterSurface s(kW, kH);
    const Pixels start = s.snapshot();
    ASSERT_EQ(s.Cls(), Status::Ok);
    EXPECT_EQ(s.snapshot(), start) << "Cls on an empty surface changes nothing";
    DrawHwbk(s);
    DrawSgxc(s);
    EXPECT_NE(s.snapshot(), start);
    ASSERT_EQ(s.Cls(), Status::Ok);
    EXPECT_EQ(s.snapshot(), start);
}

TEST(RasterSurface, HostileValuesAreClippedOrRefusedNeverUndefined)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float hostile[] = {inf, -inf, FLT_MAX, -FLT_MAX, 1e30f, -1e30f, 3e10f, -3e10f, -8.f};

    for (int side : {1, 7, kW}) {
        RasterSurface s(side, side);
        const Pixels start = s.snapshot();
        EXPECT_EQ(s.PSet(nan, 0, kRed), Status::Failed);
        EXPECT_EQ(s.PSet(0, nan, kRed), Status::Failed);
        EXPECT_EQ(s.Line(nan, 0, 10, 10, kRed, BoxStyle::BF), Status::Failed);
        for (float v : hostile) {
            EXPECT_EQ(s.PSet(v, v, kRed), Status::Ok);
            EXPECT_EQ(s.PSet(v, 0, kRed), Status::Ok);
        }
        EXPECT_EQ(s.snapshot(), start) << "nothing inside was touched";

        EXPECT_EQ(s.DrawWidth(0), Status::Failed);
        EXPECT_EQ(s.DrawWidth(-5), Status::Failed);
        EXPECT_EQ(s.DrawWidth(RasterSurface::kMaxDrawWidth + 1), Status::Failed);
        EXPECT_EQ(s.penWidth(), 1) << "a refused width changes nothing";
        for (int width : {1, 2, RasterSurface::kMaxDrawWidth}) {
            ASSERT_EQ(s.DrawWidth(width), Status::Ok);
            for (float a : hostile)
                for (float b : hostile) {
                    EXPECT_EQ(s.Line(a, b, -a, 0, kRed, BoxStyle::B), Status::Ok);
                    EXPECT_EQ(s.Line(a, b, 0, -b, kRed, BoxStyle::BF), Status::Ok);
                    EXPECT_EQ(s.PSet(a, b, kRed), Status::Ok);
                }
        }
        // A box spanning from -infinity to +infinity covers the whole image.
        ASSERT_EQ(s.Line(-inf, -inf, inf, inf, QBColor(9), BoxStyle::BF), Status::Ok);
        EXPECT_EQ(at(s, side - 1, side - 1), QBColor(9).argb());
        EXPECT_EQ(s.Cls(), Status::Ok);
        EXPECT_EQ(s.snapshot(), start);
    }
    EXPECT_THROW(RasterSurface(0, 10), std::invalid_argument);
    EXPECT_THROW(RasterSurface(10, 10, std::nan("")), std::invalid_argument);
}

// A run of points is its PSets, at any pen width: the same pixels, hostile
// values clipped, and a NaN point the end of it, nothing after it set.
TEST(RasterSurface, ARunIsItsPointsPSetOneByOne)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Point run[] = {{900, 800}, {1e30f, 0}, {-8, 45}, {3000, 2000}, {nan, 10}, {1500, 1500}};
    for (const int width : {1, 3}) {
        SCOPED_TRACE(width);
        RasterSurface byRun(kW, kH), byPoint(kW, kH);
        ASSERT_EQ(byRun.DrawWidth(width), Status::Ok);
        ASSERT_EQ(byPoint.DrawWidth(width), Status::Ok);
        EXPECT_EQ(byRun.PSetRun(std::span(run).first(4), kRed), Status::Ok);
        for (const Point& p : std::span(run).first(4))
            ASSERT_EQ(byPoint.PSet(p.x, p.y, kRed), Status::Ok);
        EXPECT_EQ(byRun.snapshot(), byPoint.snapshot());
        EXPECT_EQ(byRun.PSetRun(run, QBColor(9)), Status::Failed);
        EXPECT_EQ(at(byRun, 100, 100), kGreen) << "the point after the NaN was set";
        EXPECT_EQ(at(byRun, 60, 53), QBColor(9).argb()) << "the points before it were not";
    }
}

TEST(RasterSurface, DirtyAreaAndRescaling)
{
    // The tiles that points fell in, clipped to the picture; two far apart
    // are two rectangles, not the box around both.
    constexpr int t = RasterSurface::kTile;
    RasterSurface s(2 * t + 8, 2 * t + 8);
    EXPECT_TRUE(s.takeDirty().empty());
    ASSERT_EQ(s.PSet(30, 15, kRed), Status::Ok);
    ASSERT_EQ(s.PSet(float((2 * t + 3) * 15), float((2 * t + 1) * 15), kRed), Status::Ok);
    EXPECT_EQ(s.takeDirty().rects(), (std::vector<PixelRect>{{0, 0, t, t}, {2 * t, 2 * t, 8, 8}}));
    EXPECT_TRUE(s.takeDirty().empty());
    // A box: each row of its tiles, as one rectangle.
    ASSERT_EQ(s.Line(15 * (t + 1), 15, 15 * (2 * t + 2), 15 * (2 * t), kRed, BoxStyle::BF), Status::Ok);
    EXPECT_EQ(s.takeDirty().rects(),
              (std::vector<PixelRect>{{t, 0, t + 8, t}, {t, t, t + 8, t}, {t, 2 * t, t + 8, 8}}));

    // Another resolution starts over: the background, all of it to show.
    s.rescale(20, 5, 192.0);
    EXPECT_EQ(s.width(), 20);
    EXPECT_EQ(s.height(), 5);
    EXPECT_EQ(s.scale().twipsPerPixel(), 7.5);
    EXPECT_EQ(s.snapshot(), RasterSurface(20, 5, 192.0).snapshot());
    EXPECT_EQ(s.takeDirty().rects(), (std::vector<PixelRect>{{0, 0, 20, 5}}));
    ASSERT_EQ(s.PSet(19 * 7.5f, 4 * 7.5f, kRed), Status::Ok);
    EXPECT_EQ(at(s, 19, 4), kRed.argb());
    EXPECT_THROW(s.rescale(0, 5, 96.0), std::invalid_argument);
    EXPECT_THROW(s.rescale(5, 5, 0.0), std::invalid_argument);
}

TEST(RasterSurface, CopiesNeverShareThePixels)
{
    RasterSurface s(kW, kH);
    ASSERT_EQ(s.PSet(900, 800, kRed), Status::Ok);
    // The order that once left the surface drawing into the copy, and then
    // into freed memory once the copy was gone.
    Pixels held = s.snapshot();
    const Pixels kept = held;
    ASSERT_EQ(s.Cls(), Status::Ok);
    ASSERT_EQ(s.PSet(1500, 1500, kRed), Status::Ok);
    EXPECT_EQ(held, kept) << "drawing reached a copy";
    EXPECT_EQ(at(s, 100, 100), kRed.argb());
    EXPECT_EQ(at(s, 60, 53), kGreen);
    held.setPixel(0, 0, 0xFF000000u);
    EXPECT_EQ(at(s, 0, 0), kGreen) << "a copy's writes reached the surface";
}

TEST(RasterSurface, APictureThatCannotBeAllocatedThrowsBadAlloc)
{
    EXPECT_THROW(RasterSurface(INT_MAX, INT_MAX), std::bad_alloc);
    if constexpr (sizeof(std::size_t) == 4) { // a pixel count that wraps to 65536
        EXPECT_THROW(RasterSurface(65536, 65537), std::bad_alloc);
    }
    RasterSurface s(2, 2);
    EXPECT_THROW(s.rescale(INT_MAX, INT_MAX, 96.0), std::bad_alloc);
    EXPECT_EQ(s.width(), 2) << "a failed rescale keeps the picture";
    EXPECT_EQ(s.height(), 2);
    ASSERT_EQ(s.PSet(15, 15, kRed), Status::Ok);
#ifdef _WIN32
    // A real allocation failing: 150 GB, beyond what Windows commits (or
    // Linux lends Wine).
    EXPECT_THROW(RasterSurface(200000, 200000), std::bad_alloc);
#elif defined(GTEST_HAS_DEATH_TEST) && !defined(__SANITIZE_ADDRESS__) && \
    !__has_feature(address_sanitizer)
    // A real allocation failing, in a child limited to 256 MB of address
    // space, where a child can be forked (GoogleTest's death tests need the
    // same; WebAssembly has none). The sanitizer's allocator ends the process
    // instead of failing.
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const rlimit limit{256u << 20, 256u << 20};
        setrlimit(RLIMIT_AS, &limit);
        int status = 1;
        try {
            RasterSurface big(20000, 20000);
        } catch (const std::bad_alloc&) {
            status = 0;
        }
        std::_Exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
#endif
}

TEST(RasterSurface, PatternsSettleOnTheirLastPassColours)
{
    // Where each element's points land, from the recorded calls.
    const auto pixelsOf = [](const RecordingSurface& rec, std::size_t from, std::size_t to) {
        std::vector<std::pair<int, int>> px;
        const TwipsScale scale;
        for (std::size_t i = from; i < to; ++i) {
            const auto& c = rec.calls()[i];
            if (c.op == RecordingSurface::Op::PSet)
                px.emplace_back(int(scale.toPixel(c.x1)), int(scale.toPixel(c.y1)));
        }
        return px;
    };
    const auto allAre = [](const RasterSurface& s, const std::vector<std::pair<int, int>>& px, Rgb want) {
        for (const auto& [x, y] : px)
            if (s.pixel(x, y) != want.argb())
                return false;
        return !px.empty();
    };

    {
        RecordingSurface rec;
        DrawHwbk(rec);
        RasterSurface s(kW, kH);
        DrawHwbk(s);
        const std::size_t rowsEnd = 3 + 848'340;
        EXPECT_TRUE(allAre(s, pixelsOf(rec, 3, rowsEnd), QBColor(10))) << "rows light green";
        EXPECT_TRUE(allAre(s, pixelsOf(rec, rowsEnd, rec.calls().size()), QBColor(13)))
            << "columns light magenta";
        for (auto [x, y] : {std::pair{3, 3}, {4, 4}, {797, 548}, {400, 3}})
            EXPECT_EQ(s.pixel(x, y), QBColor(14).argb()) << "box light yellow";
        EXPECT_EQ(s.pixel(5, 5), kGreen);
    }
    {
        RecordingSurface rec;
        DrawHwty(rec);
        RasterSurface s(kW, kH);
        DrawHwty(s);
        EXPECT_TRUE(allAre(s, pixelsOf(rec, 0, rec.calls().size()), QBColor(14)))
            << "ellipse light yellow";
    }
    {
        RecordingSurface rec;
        DrawSgxc(rec);
        RasterSurface s(kW, kH);
        DrawSgxc(s);
        const std::size_t lastPass = rec.calls().size() - 4 * 62832;
        EXPECT_TRUE(allAre(s, pixelsOf(rec, lastPass, lastPass + 2 * 62832), QBColor(13)))
            << "upper roses light magenta";
        EXPECT_TRUE(allAre(s, pixelsOf(rec, lastPass + 2 * 62832, rec.calls().size()),
                           QBColor(12)))
            << "lower roses light red";
        // Frames at pixel 87 (1300 twips) and 167 (2500); panes 90..163.
        EXPECT_EQ(s.pixel(87, 120), QBColor(12).argb()) << "upper frame";
        EXPECT_EQ(s.pixel(87, 400), QBColor(14).argb()) << "lower frame";
        EXPECT_EQ(s.pixel(88, 120), kGreen) << "strip between frame and pane";
        EXPECT_EQ(s.pixel(91, 91), QBColor(10).argb()) << "pane light green";
        EXPECT_EQ(s.pixel(640, 360), QBColor(10).argb());
    }
}
