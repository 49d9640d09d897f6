// What the three routines ask of the surface, call by call.

#include "patterns/Patterns.h"
#include "patterns/RoseCurve.h"
#include "patterns/RuntimeError.h"
#include "support/FailingArrays.h"
#include "support/Surfaces.h"
#include "surface/Palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <functional>
#include <map>

using namespace kestivo;
using test::Call;
using test::Op;

namespace {

struct NamedRoutine {
    const char* name;
    void (*draw)(DrawingSurface&);
};

const NamedRoutine kHwbk{"DrawHwbk", DrawHwbk};
const NamedRoutine kHwty{"DrawHwty", DrawHwty};
const NamedRoutine kSgxc{"DrawSgxc", DrawSgxc};

// Recording all of a routine is costly; record each once for the suite.
const RecordingSurface& recorded(const NamedRoutine& r)
{
    static std::map<std::string, RecordingSurface> cache;
    auto [it, fresh] = cache.try_emplace(r.name);
    if (fresh) {
        it->second.reserve(1'600'000);
        r.draw(it->second);
    }
    return it->second;
}

std::vector<Call> nonPoints(const RecordingSurface& rec)
{
    std::vector<Call> v;
    std::copy_if(rec.calls().begin(), rec.calls().end(), std::back_inserter(v),
                 [](const Call& c) { return c.op != Op::PSet; });
    return v;
}

// Colour of each run of consecutive points, in order.
std::vector<Rgb> pointColourRuns(const RecordingSurface& rec)
{
    std::vector<Rgb> runs;
    for (const auto& c : rec.calls())
        if (c.op == Op::PSet && (runs.empty() || runs.back() != c.colour))
            runs.push_back(c.colour);
    return runs;
}

struct Bounds {
    float x0 = 1e30f, y0 = 1e30f, x1 = -1e30f, y1 = -1e30f;
};

Bounds pointBounds(const RecordingSurface& rec)
{
    Bounds b;
    for (const auto& c : rec.calls()) {
        if (c.op != Op::PSet)
            continue;
        b.x0 = std::min(b.x0, c.x1);
        b.y0 = std::min(b.y0, c.y1);
        b.x1 = std::max(b.x1, c.x1);
        b.y1 = std::max(b.y1, c.y1);
    }
    return b;
}

} // namespace

TEST(DrawHwbk, BoxThenRowsThenColumnsWithExactCounts)
{
    const auto& rec = recorded(kHwbk);
    EXPECT_EQ(rec.count(Op::PSet), 999'156u);

    const auto other = nonPoints(rec);
    ASSERT_EQ(other.size(), 4u);
    EXPECT_EQ(other[0].op, Op::DrawWidth);
    EXPECT_EQ(other[0].width, 2);
    EXPECT_EQ(other[1].op, Op::Line);
    EXPECT_EQ(other[1].style, BoxStyle::B);
    EXPECT_EQ(other[1].colour, QBColor(14));
    EXPECT_EQ(std::tie(other[1].x1, other[1].y1, other[1].x2, other[1].y2),
              std::make_tuple(40.f, 40.f, 11950.f, 8220.f));
    EXPECT_EQ(other[2].op, Op::DrawWidth);
    EXPECT_EQ(other[2].width, 1);
    EXPECT_EQ(other[3].op, Op::DrawWidth);
    EXPECT_EQ(other[3].width, 1);

    // The second DrawWidth(1) sits between the last row point and the first
    // column point.
    const auto& calls = rec.calls();
    EXPECT_EQ(calls[3 + 848'340].op, Op::DrawWidth);

    // First points: top row then bottom row, alternating.
    EXPECT_EQ(calls[3].x1, 900.f);
    EXPECT_EQ(calls[3].y1, 800.f);
    EXPECT_EQ(calls[4].x1, 900.f);
    EXPECT_EQ(calls[4].y1, 7000.f);
    // First column points: bottom of the left and right columns.
    EXPECT_EQ(calls[4 + 848'340].x1, 1000.f);
    EXPECT_EQ(calls[4 + 848'340].y1, 6500.f);
    EXPECT_EQ(calls[5 + 848'340].x1, 11400.f);
    EXPECT_EQ(calls[5 + 848'340].y1, 6500.f);
    // The last row rose of a pass is centred at 11100, never at 11300; the
    // next pass starts over at 700.
    EXPECT_EQ(calls[3 + 26 * 6284].x1, 11300.f);
    EXPECT_EQ(calls[3 + 27 * 6284].x1, 900.f);

    const auto runs = pointColourRuns(rec);
    EXPECT_EQ(runs, (std::vector<Rgb>{QBColor(14), QBColor(13), QBColor(12), QBColor(11),
                                      QBColor(10), QBColor(14), QBColor(13)}));

    const Bounds b = pointBounds(rec);
    EXPECT_GE(b.x0, 500.f);
    EXPECT_LE(b.x1, 11400.f);
    EXPECT_GE(b.y0, 600.f);
    EXPECT_LE(b.y1, 7200.f);
}

TEST(DrawHwty, SixPassesOfTwentyFourGrowingRoses)
{
    const auto& rec = recorded(kHwty);
    EXPECT_EQ(rec.count(Op::PSet), 452'448u);
    const auto other = nonPoints(rec);
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0].op, Op::DrawWidth);
    EXPECT_EQ(other[0].width, 1);

    const auto runs = pointColourRuns(rec);
    EXPECT_EQ(runs, (std::vector<Rgb>{QBColor(9), QBColor(10), QBColor(11), QBColor(12),
                                      QBColor(13), QBColor(14)}));

    // Each rose starts at the tip of its first petal: centre + 45 a on x.
    const auto& calls = rec.calls();
    const double a0 = 2.159843125;
    const double first = a0 * 45 + (std::cos(a0) * 3300 + 6000);
    EXPECT_EQ(calls[1].x1, float(first));
    EXPECT_NEAR(calls[1].x1, 4167 + 97.19, 1.0);
    EXPECT_NEAR(calls[1].y1, 6262, 1.0);
    // The last rose of a pass, about 329 twips across from its centre.
    const auto& lastRose = calls[1 + 23 * 3142];
    EXPECT_NEAR(lastRose.x1, 7677 + 329.4, 1.0);
    EXPECT_NEAR(lastRose.y1, 6339, 1.0);

    const Bounds b = pointBounds(rec);
    EXPECT_NEAR(b.x0, 2599, 2);
    EXPECT_NEAR(b.x1, 9568, 2);
    EXPECT_NEAR(b.y0, 1311, 2);
    EXPECT_NEAR(b.y1, 6654, 2);
}

TEST(DrawSgxc, EachPassRefillsThePanesThenRedrawsTheRoses)
{
    const auto& rec = recorded(kSgxc);
    EXPECT_EQ(rec.count(Op::PSet), 1'507'968u);
    const auto other = nonPoints(rec);
    ASSERT_EQ(other.size(), 1u + 48u);
    EXPECT_EQ(other[0].op, Op::DrawWidth);
    EXPECT_EQ(other[0].width, 1);

    const Rgb frames[] = {QBColor(12), QBColor(12), QBColor(14), QBColor(14)};
    for (int pass = 0; pass < 6; ++pass) {
        for (int w = 0; w < 4; ++w) {
            const Call& frame = other[1 + pass * 8 + w * 2];
            const Call& pane = other[2 + pass * 8 + w * 2];
            EXPECT_EQ(frame.style, BoxStyle::B);
            EXPECT_EQ(frame.colour, frames[w]);
            EXPECT_EQ(pane.style, BoxStyle::BF);
            EXPECT_EQ(pane.colour, QBColor(15 - pass));
            EXPECT_EQ(pane.x1, frame.x1 + 50);
            EXPECT_EQ(pane.y2, frame.y2 - 50);
        }
    }

    // Per pass: 8 boxes, then four roses of 62832 points, never interleaved.
    const auto& calls = rec.calls();
    const std::size_t passLength = 8 + 4 * 62832;
    const float centres[4][2] = {{1900, 1900}, {10100, 1900}, {10100, 5900}, {1900, 5900}};
    const Rgb roseColours[] = {QBColor(13), QBColor(13), QBColor(12), QBColor(12)};
    for (int pass = 0; pass < 6; ++pass) {
        for (int r = 0; r < 4; ++r) {
            const std::size_t start = 1 + pass * passLength + 8 + r * 62832;
            EXPECT_EQ(calls[start].x1, centres[r][0] + 500);
            EXPECT_EQ(calls[start].y1, centres[r][1]);
            for (std::size_t i = start; i < start + 62832; ++i) {
                ASSERT_EQ(calls[i].op, Op::PSet);
                ASSERT_EQ(calls[i].colour, roseColours[r]);
                // Every point stays inside its pane, 550 from the centre.
                ASSERT_LE(std::abs(calls[i].x1 - centres[r][0]), 500.01f);
                ASSERT_LE(std::abs(calls[i].y1 - centres[r][1]), 500.01f);
            }
        }
    }
}

TEST(Patterns, WholeCallSequencesArePinned)
{
    // Any reordering, miscount or one-bit change of a coordinate moves these.
    // They were cross-checked against an independent evaluation of the same
    // formulas (double arithmetic, points rounded to single precision).
    EXPECT_EQ(test::fingerprint(recorded(kHwbk).calls()), 7175679051917157704ull) << "DrawHwbk";
    EXPECT_EQ(test::fingerprint(recorded(kHwty).calls()), 8668780611241810469ull) << "DrawHwty";
    EXPECT_EQ(test::fingerprint(recorded(kSgxc).calls()), 18293905327955858061ull) << "DrawSgxc";
}

// The later colour passes set the points the first kept; where the memory
// for them cannot be had, from the start or part way, they work them out
// again, and not a call changes.
TEST(Patterns, WithoutMemoryToKeepPointsEveryPassWorksThemOut)
{
    const std::pair<const NamedRoutine*, std::uint64_t> pinned[] = {
        {&kHwbk, 7175679051917157704ull}, {&kHwty, 8668780611241810469ull}, {&kSgxc, 18293905327955858061ull}};
    for (const std::size_t from : {std::size_t(1), std::size_t(64 * 1024)}) {
        const test::FailingArrays failing(from);
        const int refusedBefore = test::FailingArrays::refused();
        for (const auto& [routine, fingerprint] : pinned) {
            SCOPED_TRACE(std::string(routine->name) + ", arrays of " + std::to_string(from) + " bytes refused");
            RecordingSurface rec;
            rec.reserve(1'600'000);
            routine->draw(rec);
            EXPECT_EQ(test::fingerprint(rec.calls()), fingerprint);
        }
        EXPECT_GT(test::FailingArrays::refused(), refusedBefore);
    }
}

TEST(Patterns, LeavePenWidthOneWhateverItWas)
{
    for (const NamedRoutine* r : {&kHwbk, &kHwty, &kSgxc}) {
        const auto other = nonPoints(recorded(*r));
        const auto lastWidth = std::find_if(other.rbegin(), other.rend(),
                                            [](const Call& c) { return c.op == Op::DrawWidth; });
        ASSERT_NE(lastWidth, other.rend()) << r->name;
        EXPECT_EQ(lastWidth->width, 1) << r->name;
    }
}

TEST(Patterns, AFailedCallIsAnErrorNamingTheOperationAndStopsAtOnce)
{
    struct Case {
        const NamedRoutine* routine;
        Op op;
        std::size_t failAt;
        const char* name;
    };
    const Case cases[] = {
        {&kHwbk, Op::DrawWidth, 0, "DrawWidth"}, {&kHwbk, Op::Line, 0, "Line"},
        {&kHwbk, Op::DrawWidth, 2, "DrawWidth"}, {&kHwbk, Op::PSet, 0, "PSet"},
        {&kHwbk, Op::PSet, 500'000, "PSet"},     {&kHwty, Op::DrawWidth, 0, "DrawWidth"},
        {&kHwty, Op::PSet, 75'408, "PSet"},      {&kSgxc, Op::DrawWidth, 0, "DrawWidth"},
        {&kSgxc, Op::Line, 0, "Line"},           {&kSgxc, Op::Line, 13, "Line"},
        {&kSgxc, Op::PSet, 62'832 * 3, "PSet"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.routine->name) + " failing " + c.name + " #" +
                     std::to_string(c.failAt));
        test::FaultySurface surface(c.op, c.failAt);
        try {
            c.routine->draw(surface);
            ADD_FAILURE() << "no error raised";
        } catch (const DrawingError& e) {
            EXPECT_EQ(e.operation(), c.name);
        }
        // The failing call is the last one made.
        const auto& calls = surface.calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().op, c.op);
        EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                                [&](const Call& k) { return k.op == c.op; }),
                  std::ptrdiff_t(c.failAt + 1));
    }
}

namespace {
// Maths functions returning what the real ones never do, so that the
// products after them fault. Inline and constant, as a compiler may well
// see them: it is then free to fold the faulting product at build time or to
// reuse it, and the status word shows nothing.
struct HugeCos {
    static double cos(double) { return 1e308; }
    static double sin(double v) { return std::sin(v); }
};
struct LargeCos {
    static double cos(double) { return 1e200; }
    static double sin(double v) { return std::sin(v); }
};
struct HugeSin {
    static double cos(double v) { return std::cos(v); }
    static double sin(double) { return -1e308; }
};
struct BeyondSingle {
    static double cos(double) { return 1e20; }
    static double sin(double v) { return std::sin(v); }
};
} // namespace

TEST(FloatingPointCheck, EveryFaultOfTheRosesArithmeticIsReportedBeforeItsPoint)
{
    using F = FloatingPointError;
    const RoseCurve rose{1000, 1000, 200, 3, 0.002, -1, 14};
    const RoseCurve flat{1000, 1000, 0, 3, 0.002, -1, 14}; // R = 0: infinity x 0
    const auto flagsOf = [](auto plot) -> unsigned {
        RecordingSurface rec;
        try {
            plot(rec);
        } catch (const FloatingPointError& e) {
            EXPECT_TRUE(rec.calls().empty()) << "nothing may be drawn after the fault";
            return e.flags();
        }
        return 0;
    };
    // Finite products that overflow to infinity.
    EXPECT_EQ(flagsOf([&](auto& s) { plotRoseWith<HugeCos>(s, rose); }), unsigned(F::Overflow));
    EXPECT_EQ(flagsOf([&](auto& s) { plotRoseWith<LargeCos>(s, rose); }), unsigned(F::Overflow));
    // Only on y.
    EXPECT_EQ(flagsOf([&](auto& s) { plotRoseWith<HugeSin>(s, rose); }), unsigned(F::Overflow));
    // The overflow, then infinity x 0 (whether the overflow is named as well
    // depends on whether the compiler left its product to run time).
    EXPECT_TRUE(flagsOf([&](auto& s) { plotRoseWith<HugeCos>(s, flat); }) & F::Invalid);
    // Finite, but beyond the single precision the point travels in.
    EXPECT_EQ(flagsOf([&](auto& s) { plotRoseWith<BeyondSingle>(s, rose); }), unsigned(F::Overflow));
    // Flags left set by other code name nothing of their own.
#ifdef FE_DIVBYZERO // none in WebAssembly
    std::feraiseexcept(FE_DIVBYZERO);
#endif
    EXPECT_EQ(flagsOf([&](auto& s) { plotRoseWith<BeyondSingle>(s, rose); }), unsigned(F::Overflow));
    std::feclearexcept(FE_ALL_EXCEPT);
}

namespace {
// The real cosine until call `from`, then one whose products overflow.
struct CosFailingFrom {
    static inline int calls = 0;
    static inline int from = 0;
    static double cos(double v) { return ++calls >= from ? 1e308 : std::cos(v); }
    static double sin(double v) { return std::sin(v); }
};
} // namespace

TEST(FloatingPointCheck, AFaultFarIntoARoseComesAfterExactlyThePointsBeforeIt)
{
    // Points are worked out ahead of their PSets: a fault must still wait
    // for every point before it, and nothing after it may be drawn. Two
    // cosines a point, so call 2k + 1 is the first of point k's.
    const RoseCurve rose{1000, 1000, 200, 3, 0.002, -1, 14};
    RecordingSurface real;
    plotRose(real, rose);
    for (const int k : {0, 1, 255, 256, 300, 3000}) {
        CosFailingFrom::calls = 0;
        CosFailingFrom::from = 2 * k + 1;
        RecordingSurface rec;
        try {
            plotRoseWith<CosFailingFrom>(rec, rose);
            ADD_FAILURE() << "point " << k << ": no error";
        } catch (const FloatingPointError& e) {
            EXPECT_EQ(e.flags(), unsigned(FloatingPointError::Overflow)) << "point " << k;
        }
        ASSERT_EQ(rec.calls().size(), std::size_t(k)) << "point " << k;
        EXPECT_TRUE(std::equal(rec.calls().begin(), rec.calls().end(), real.calls().begin(),
                               [](const RecordingSurface::Call& a, const RecordingSurface::Call& b) {
                                   return a.x1 == b.x1 && a.y1 == b.y1 && a.colour == b.colour;
                               }))
            << "point " << k;
    }
}
