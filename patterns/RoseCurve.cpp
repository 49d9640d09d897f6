#include "patterns/RoseCurve.h"

namespace kestivo {

void plotRose(DrawingSurface& surface, const RoseCurve& rose, KeptPoints* kept)
{
    plotRoseWith<StdMaths>(surface, rose, kept);
}

void plotRose(DrawingSurface& surface, const RoseCurve& rose, KeptPoints& kept,
              SharedTrig<0>& angles)
{
    plotAhead<1>(
        surface, QBColor(rose.colour), roseAngles(rose.s),
        [&](double t, std::size_t i) KESTIVO_INLINE { return angles.at(i, t); },
        [&](const SharedTrig<0>::At& a, int) KESTIVO_INLINE {
            return roseProducts(rose, std::cos(a.t * rose.k), a.cosT, a.sinT);
        },
        &kept);
}

} // namespace kestivo
