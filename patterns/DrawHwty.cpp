#include "patterns/Patterns.h"
#include "patterns/RoseCurve.h"

namespace kestivo {

void DrawHwty(DrawingSurface& surface)
{
    checkStatus(surface.DrawWidth(1), "DrawWidth");

    // The passes after the first set the points it kept; the roses step the
    // same angles, so they share their trigonometry.
    KeptPoints roses;
    SharedTrig<1> angles(roseAngles(0.002), {5});
    ColourPass{9, 1, 15}.forEach([&](ColourIndex c) {
        const Rgb colour = QBColor(c);
        // The arc's range is evaluated afresh for every pass.
        const SteppedRange<double> arc{(ApproxPi * 5.5) / 8, (ApproxPi * 19) / 8, ApproxPi / 14};
        arc.forEach([&](double a) {
            // The rose's centre on the ellipse; the same for all its points.
            const RosePoint centre = fp::guarded([&] {
                return RosePoint{std::cos(a) * 3300 + 6000, std::sin(a) * 2600 + 4100};
            });

            plotAhead<1>(
                surface, colour, roseAngles(0.002),
                [&](double t, std::size_t i) KESTIVO_INLINE { return angles.at(i, t); },
                [&](const SharedTrig<1>::At& angle, int) KESTIVO_INLINE {
                    const double ct = angle.cosT;
                    const double u = angle.cosKT[0]; // cos(t * 5)
                    const double st = angle.sinT;
                    return RosePoint{a * ((u * ct) * 45) + centre.x,
                                     a * ((u * st) * 45) + centre.y};
                },
                &roses);
        });
        roses.endPass();
    });
}

} // namespace kestivo
