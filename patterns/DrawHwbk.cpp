#include "patterns/Patterns.h"
#include "patterns/RoseCurve.h"

namespace kestivo {

void DrawHwbk(DrawingSurface& surface)
{
    // The box is drawn once, outside the colour passes.
    checkStatus(surface.DrawWidth(2), "DrawWidth");
    checkStatus(surface.Line(40, 40, 11950, 8220, QBColor(14), BoxStyle::B), "Line");
    checkStatus(surface.DrawWidth(1), "DrawWidth");

    // Rows: the top and bottom rose of one position are plotted point by
    // point alternately.
    ColourPass{14, -1, 9}.forEach([&](ColourIndex c) {
        const Rgb colour = QBColor(c);
        SteppedRange<int>{700, 11300, 400}.forEach([&](int cx) {
            const RoseCurve top{double(cx), 800, 200, 3, 0.002, -1, c};
            const RoseCurve bottom{double(cx), 7000, 200, 9, 0.002, -1, c};
            roseAngles(0.002).forEach([&](double t) KESTIVO_INLINE {
                const RoseAngle angle(t);
                plotRosePoint(surface, top, colour, angle);
                plotRosePoint(surface, bottom, colour, angle);
            });
        });
    });

    checkStatus(surface.DrawWidth(1), "DrawWidth");

    // Columns, bottom to top; two passes only, so they settle on index 13.
    ColourPass{14, -1, 12}.forEach([&](ColourIndex c) {
        const Rgb colour = QBColor(c);
        SteppedRange<int>{6500, 1300, -450}.forEach([&](int cy) {
            const RoseCurve left{800, double(cy), 200, 5, 0.002, -1, c};
            const RoseCurve right{11200, double(cy), 200, 7, 0.002, -1, c};
            roseAngles(0.002).forEach([&](double t) KESTIVO_INLINE {
                const RoseAngle angle(t);
                plotRosePoint(surface, left, colour, angle);
                plotRosePoint(surface, right, colour, angle);
            });
        });
    });
}

} // namespace kestivo
