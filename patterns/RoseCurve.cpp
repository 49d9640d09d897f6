#include "RoseCurve.h"

namespace kestivo {

void plotRose(DrawingSurface& surface, const RoseCurve& rose)
{
    const Rgb colour = QBColor(rose.colour);
    roseAngles(rose.s).forEach([&](double t) KESTIVO_INLINE { plotRosePoint(surface, rose, colour, RoseAngle(t)); });
}

} // namespace kestivo
