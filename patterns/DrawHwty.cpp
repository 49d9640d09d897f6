#include "Patterns.h"
#include "RoseCurve.h"

namespace kestivo {

void DrawHwty(DrawingSurface& surface)
{
    checked(surface.DrawWidth(1), "DrawWidth");

    ColourPass{9, 1, 15}.forEach([&](ColourIndex c) {
        const Rgb colour = QBColor(c);
        // The arc's range is evaluated afresh for every pass.
        const SteppedRange<double> arc{(ApproxPi * 5.5) / 8, (ApproxPi * 19) / 8, ApproxPi / 14};
        arc.forEach([&](double a) {
            // The rose's centre on the ellipse; the same for all its points.
            fp::dropStaleFlags();
            double ex = std::cos(a) * 3300;
            fp::check(ex);
            double ey = std::sin(a) * 2600;
            fp::check(ey);
            const double cx = ex + 6000;
            const double cy = ey + 4100;

            roseAngles(0.002).forEach([&](double t) {
                fp::dropStaleFlags();
                const double ct = std::cos(t);
                const double u = std::cos(t * 5);
                double x = a * ((u * ct) * 45) + cx;
                fp::check(x);
                const double st = std::sin(t);
                double y = a * ((u * st) * 45) + cy;
                fp::check(y);
                checked(surface.PSet(fp::toSingle(x), fp::toSingle(y), colour), "PSet");
            });
        });
    });
}

} // namespace kestivo
