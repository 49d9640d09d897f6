#include "patterns/RoseCurve.h"

namespace kestivo {

void plotRose(DrawingSurface& surface, const RoseCurve& rose, KeptPoints* kept)
{
    plotRoseWith<StdMaths>(surface, rose, kept);
}

} // namespace kestivo
