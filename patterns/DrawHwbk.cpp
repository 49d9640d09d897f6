#include "patterns/Patterns.h"
#include "patterns/RoseCurve.h"

namespace kestivo {

namespace {
// Two roses of one size plotted point by point alternately: the first's
// point, then the second's, at each angle. Every pair of a row or column
// steps the same angles with the same two multiples, so they share their
// trigonometry.
[[gnu::always_inline]] inline void plotPair(DrawingSurface& surface, Rgb colour,
                                            const RoseCurve (&rose)[2], KeptPoints& kept,
                                            SharedTrig<2>& angles)
{
    plotAhead<2>(
        surface, colour, roseAngles(0.002),
        [&](double t, std::size_t i) KESTIVO_INLINE { return angles.at(i, t); },
        [&](const SharedTrig<2>::At& a, int j) KESTIVO_INLINE {
            return roseProducts(rose[j], a.cosKT[std::size_t(j)], a.cosT, a.sinT);
        },
        &kept);
}
} // namespace

void DrawHwbk(DrawingSurface& surface)
{
    // The box is drawn once, outside the colour passes.
    checkStatus(surface.DrawWidth(2), "DrawWidth");
    checkStatus(surface.Line(40, 40, 11950, 8220, QBColor(14), BoxStyle::B), "Line");
    checkStatus(surface.DrawWidth(1), "DrawWidth");

    // Rows: the top and bottom rose of one position are plotted point by
    // point alternately. The passes after the first set the points it kept.
    {
        KeptPoints rows;
        SharedTrig<2> angles(roseAngles(0.002), {3, 9});
        ColourPass{14, -1, 9}.forEach([&](ColourIndex c) {
            const Rgb colour = QBColor(c);
            SteppedRange<int>{700, 11300, 400}.forEach([&](int cx) {
                const RoseCurve rose[2] = {{double(cx), 800, 200, 3, 0.002, -1, c},   // top
                                           {double(cx), 7000, 200, 9, 0.002, -1, c}}; // bottom
                plotPair(surface, colour, rose, rows, angles);
            });
            rows.endPass();
        });
    }

    checkStatus(surface.DrawWidth(1), "DrawWidth");

    // Columns, bottom to top; two passes only, so they settle on index 13.
    KeptPoints columns;
    SharedTrig<2> angles(roseAngles(0.002), {5, 7});
    ColourPass{14, -1, 12}.forEach([&](ColourIndex c) {
        const Rgb colour = QBColor(c);
        SteppedRange<int>{6500, 1300, -450}.forEach([&](int cy) {
            const RoseCurve rose[2] = {{800, double(cy), 200, 5, 0.002, -1, c},    // left
                                       {11200, double(cy), 200, 7, 0.002, -1, c}}; // right
            plotPair(surface, colour, rose, columns, angles);
        });
        columns.endPass();
    });
}

} // namespace kestivo
