#pragma once

#include "patterns/StatusCheck.h"
#include "patterns/ColourPass.h"
#include "patterns/FpCheck.h"
#include "patterns/KeptPoints.h"
#include "patterns/SharedTrig.h"
#include "patterns/SteppedRange.h"
#include "surface/DrawingSurface.h"
#include "surface/Palette.h"

#include <cmath>
#include <span>

namespace kestivo {

// The program's value of pi. A full turn is 2 * 3.14159 = 6.28318, not 2 pi.
inline constexpr double ApproxPi = 3.14159;

// The angles of one rose: 0 to 2 * ApproxPi in steps of s.
inline SteppedRange<double> roseAngles(double s)
{
    return {0.0, 2 * ApproxPi, s};
}

// One polar rose r = R cos(k t) about (cx, cy).
struct RoseCurve {
    double cx;
    double cy;
    double R;
    int k;
    double s;    // angle step
    int sigma;   // -1: Y = cy - sine term, +1: Y = sine term + cy
    ColourIndex colour;
};

// The maths functions behind the roses. Tests substitute their own to reach
// the floating-point check with values the real functions never return;
// being a template argument, the choice costs the program nothing.
struct StdMaths {
    static double cos(double v) { return std::cos(v); }
    static double sin(double v) { return std::sin(v); }
};

struct RosePoint {
    double x;
    double y;
};

// One angle of a rose's range with its cosine and sine. Roses plotted
// together at the same angle (the border's pairs) share them.
struct RoseAngle {
    double t;
    double cosT;
    double sinT;

    explicit RoseAngle(double angle) : RoseAngle(angle, StdMaths{}) {}
    template <typename Maths>
    RoseAngle(double angle, Maths) : t(angle), cosT(Maths::cos(angle)), sinT(Maths::sin(angle))
    {
    }
};

// The products of the rose's point at one angle, unchecked, from u =
// cos(k t), cos t and sin t. The grouping is the program's: do not
// rearrange it.
[[gnu::always_inline]] inline RosePoint roseProducts(const RoseCurve& rose, double u, double cosT,
                                                     double sinT)
{
    const double x = (u * cosT) * rose.R + rose.cx;
    const double y = rose.sigma < 0 ? rose.cy - (u * sinT) * rose.R : (u * sinT) * rose.R + rose.cy;
    return RosePoint{x, y};
}

template <typename Maths = StdMaths>
[[gnu::always_inline]] inline RosePoint roseProducts(const RoseCurve& rose, const RoseAngle& a)
{
    return roseProducts(rose, Maths::cos(a.t * rose.k), a.cosT, a.sinT);
}

// The rose's point at one angle, with the routines' floating-point test
// after the point's products.
template <typename Maths = StdMaths>
[[gnu::always_inline]] inline RosePoint rosePoint(const RoseCurve& rose, const RoseAngle& a)
{
    return fp::guarded([&] { return roseProducts<Maths>(rose, a); });
}

inline RosePoint rosePoint(const RoseCurve& rose, double t)
{
    return rosePoint(rose, RoseAngle(t));
}

// Sets the points of a range of angles in colour: at each angle, PerAngle
// points, pointAt(angle, 0) to pointAt(angle, PerAngle - 1), each by its own
// PSet with its status, in that order, each tested for a floating-point
// fault before it is set, and nothing after a failure. angleAt(t, index) is
// what the points of the range's index-th angle, t, share.
//
// The points are worked out a block ahead of their tests and PSets, and a
// block's tested points go to the surface as one run. A point's
// trigonometry takes longer to finish than the processor looks ahead, so
// whatever follows its products waits for them; a block later its
// coordinates are ready, and testing and setting them costs only their own
// instructions. A point ahead that faults is reported in its turn, once
// every point before it is set: its products have no other effect.
//
// With kept, a first colour pass keeps the points it sets, and a later one
// sets those again, the whole range as one run, without working them out.
template <int PerAngle, typename AngleAt, typename PointAt>
[[gnu::always_inline]] inline void plotAhead(DrawingSurface& surface, Rgb colour,
                                             const SteppedRange<double>& angles,
                                             AngleAt&& angleAt, PointAt&& pointAt,
                                             KeptPoints* kept = nullptr)
{
    if (kept && kept->replaying()) {
        checkStatus(surface.PSetRun(kept->nextRun(), colour), "PSet");
        return;
    }
    constexpr int kPoints = 256;
    static_assert(kPoints % PerAngle == 0);
    RosePoint ahead[kPoints];            // untested: the test runs in the point's turn
    double angleOf[kPoints / PerAngle];  // to work a faulty point out again
    std::size_t firstIndex = 0;          // the block's first angle in the range
    Point run[kPoints];                  // the tested points, in single precision
    // A point that faults: reported with the flags its arithmetic raises.
    const auto faultAt = [&](int i) KESTIVO_NOINLINE {
        fp::fail([&] {
            return pointAt(angleAt(angleOf[i / PerAngle], firstIndex + std::size_t(i / PerAngle)),
                           i % PerAngle);
        });
    };
    // Out of line: the trigonometry's loop keeps its registers to itself,
    // and the count of points ahead is its own, not in memory that a call
    // could change.
    const auto setAhead = [&](int count) KESTIVO_NOINLINE {
        int fit = 0;
        while (fit < count && fp::toSingles(ahead[fit], run[fit].x, run[fit].y))
            ++fit;
        if (kept)
            kept->keep(std::span<const Point>(run, std::size_t(fit)));
        checkStatus(surface.PSetRun(std::span<const Point>(run, std::size_t(fit)), colour), "PSet");
        if (fit < count) [[unlikely]]
            faultAt(fit);
    };
    int n = 0;
    std::size_t index = 0;
    angles.forEach([&](double t) KESTIVO_INLINE {
        const auto angle = angleAt(t, index++);
        angleOf[n / PerAngle] = t;
        for (int j = 0; j < PerAngle; ++j)
            ahead[n++] = pointAt(angle, j);
        if (n == kPoints) {
            setAhead(n);
            firstIndex = index;
            n = 0;
        }
    });
    setAhead(n);
    if (kept)
        kept->endRun();
}

// The whole rose, one PSet per angle of its range.
template <typename Maths>
void plotRoseWith(DrawingSurface& surface, const RoseCurve& rose, KeptPoints* kept = nullptr)
{
    plotAhead<1>(
        surface, QBColor(rose.colour), roseAngles(rose.s),
        [](double t, std::size_t) KESTIVO_INLINE { return RoseAngle(t, Maths{}); },
        [&](const RoseAngle& a, int) KESTIVO_INLINE { return roseProducts<Maths>(rose, a); }, kept);
}

void plotRose(DrawingSurface& surface, const RoseCurve& rose, KeptPoints* kept = nullptr);

// The same, reading cos t and sin t from angles, which the routine's other
// roses of the same step share.
void plotRose(DrawingSurface& surface, const RoseCurve& rose, KeptPoints& kept,
              SharedTrig<0>& angles);

} // namespace kestivo
