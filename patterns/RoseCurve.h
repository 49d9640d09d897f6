#pragma once

#include "Checked.h"
#include "ColourPass.h"
#include "DrawingSurface.h"
#include "FpCheck.h"
#include "Palette.h"
#include "SteppedRange.h"

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

struct RosePoint {
    double x;
    double y;
};

// The rose's point at angle t, with the routines' floating-point check after
// each product. The grouping is the program's: do not rearrange it.
inline RosePoint rosePoint(const RoseCurve& rose, double t)
{
    fp::dropStaleFlags();
    const double c = std::cos(t);
    const double u = std::cos(t * rose.k);
    double x = (u * c) * rose.R + rose.cx;
    fp::check(x);
    const double d = std::sin(t);
    double y = rose.sigma < 0 ? rose.cy - (u * d) * rose.R : (u * d) * rose.R + rose.cy;
    fp::check(y);
    return {x, y};
}

// Sets one point of the rose, colour already looked up.
inline void plotRosePoint(DrawingSurface& surface, const RoseCurve& rose, Rgb colour, double t)
{
    const RosePoint p = rosePoint(rose, t);
    checked(surface.PSet(fp::toSingle(p.x), fp::toSingle(p.y), colour), "PSet");
}

// The whole rose, one PSet per angle of its range.
void plotRose(DrawingSurface& surface, const RoseCurve& rose);

} // namespace kestivo
