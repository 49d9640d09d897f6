#include "patterns/Patterns.h"
#include "patterns/RoseCurve.h"

namespace kestivo {

void DrawHwty(DrawingSurface& surface)
{
    checkStatus(surface.DrawWidth(1), "DrawWidth");

    ColourPass{9, 1, 15}.forEach([&](ColourIndex c) {
        const Rgb colour = QBColor(c);
        // The arc's range is evaluated afresh for every pass.
        const SteppedRange<double> arc{(ApproxPi * 5.5) / 8, (ApproxPi * 19) / 8, ApproxPi / 14};
        arc.forEach([&](double a) {
            // The rose's centre on the ellipse; the same for all its points.
            const RosePoint centre = fp::guarded([&] {
                return RosePoint{std::cos(a) * 3300 + 6000, std::sin(a) * 2600 + 4100};
            });

            roseAngles(0.002).forEach([&](double t) KESTIVO_INLINE {
                const RosePoint p = fp::guarded([&] {
                    const double ct = std::cos(t);
                    const double u = std::cos(t * 5);
                    const double st = std::sin(t);
                    return RosePoint{a * ((u * ct) * 45) + centre.x,
                                     a * ((u * st) * 45) + centre.y};
                });
                checkStatus(surface.PSet(fp::toSingle(p.x), fp::toSingle(p.y), colour), "PSet");
            });
        });
    });
}

} // namespace kestivo
