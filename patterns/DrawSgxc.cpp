#include "patterns/Patterns.h"
#include "patterns/RoseCurve.h"

namespace kestivo {

void DrawSgxc(DrawingSurface& surface)
{
    checkStatus(surface.DrawWidth(1), "DrawWidth");

    // The passes after the first set the roses' points it kept; the roses
    // step the same angles, so they share cos t and sin t.
    KeptPoints roses;
    SharedTrig<0> angles(roseAngles(0.0001), {});
    ColourPass{15, -1, 9}.forEach([&](ColourIndex c) {
        // Frames keep their colours; every pass refills the panes in its own.
        checkStatus(surface.Line(1300, 1300, 2500, 2500, QBColor(12), BoxStyle::B), "Line");
        checkStatus(surface.Line(1350, 1350, 2450, 2450, QBColor(c), BoxStyle::BF), "Line");
        checkStatus(surface.Line(9500, 1300, 10700, 2500, QBColor(12), BoxStyle::B), "Line");
        checkStatus(surface.Line(9550, 1350, 10650, 2450, QBColor(c), BoxStyle::BF), "Line");
        checkStatus(surface.Line(9500, 5300, 10700, 6500, QBColor(14), BoxStyle::B), "Line");
        checkStatus(surface.Line(9550, 5350, 10650, 6450, QBColor(c), BoxStyle::BF), "Line");
        checkStatus(surface.Line(1300, 5300, 2500, 6500, QBColor(14), BoxStyle::B), "Line");
        checkStatus(surface.Line(1350, 5350, 2450, 6450, QBColor(c), BoxStyle::BF), "Line");

        // Then the roses on top, one whole rose after another.
        plotRose(surface, {1900, 1900, 500, 3, 0.0001, 1, 13}, roses, angles);
        plotRose(surface, {10100, 1900, 500, 2, 0.0001, 1, 13}, roses, angles);
        plotRose(surface, {10100, 5900, 500, 5, 0.0001, 1, 12}, roses, angles);
        plotRose(surface, {1900, 5900, 500, 7, 0.0001, 1, 12}, roses, angles);
        roses.endPass();
    });
}

} // namespace kestivo
