#pragma once

#include "patterns/StatusCheck.h"
#include "patterns/ColourPass.h"
#include "patterns/FpCheck.h"
#include "patterns/SteppedRange.h"
#include "surface/DrawingSurface.h"
#include "surface/Palette.h"

#include <cmath>

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

// The rose's point at one angle, with the routines' floating-point test
// after the point's products. The grouping is the program's: do not
// rearrange it.
template <typename Maths = StdMaths>
[[gnu::always_inline]] inline RosePoint rosePoint(const RoseCurve& rose, const RoseAngle& a)
{
    return fp::guarded([&] {
        const double u = Maths::cos(a.t * rose.k);
        const double x = (u * a.cosT) * rose.R + rose.cx;
        const double y =
            rose.sigma < 0 ? rose.cy - (u * a.sinT) * rose.R : (u * a.sinT) * rose.R + rose.cy;
        return RosePoint{x, y};
    });
}

inline RosePoint rosePoint(const RoseCurve& rose, double t)
{
    return rosePoint(rose, RoseAngle(t));
}

// Sets one point of the rose, colour already looked up.
template <typename Maths = StdMaths>
[[gnu::always_inline]] inline void plotRosePoint(DrawingSurface& surface, const RoseCurve& rose,
                                                 Rgb colour, const RoseAngle& a)
{
    const RosePoint p = rosePoint<Maths>(rose, a);
    checkStatus(surface.PSet(fp::toSingle(p.x), fp::toSingle(p.y), colour), "PSet");
}

// The whole rose, one PSet per angle of its range.
template <typename Maths>
void plotRoseWith(DrawingSurface& surface, const RoseCurve& rose)
{
    const Rgb colour = QBColor(rose.colour);
    roseAngles(rose.s).forEach([&](double t) KESTIVO_INLINE {
        plotRosePoint<Maths>(surface, rose, colour, RoseAngle(t, Maths{}));
    });
}

void plotRose(DrawingSurface& surface, const RoseCurve& rose);

} // namespace kestivo
