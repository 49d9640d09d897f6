#include "patterns/RoseCurve.h"

namespace kestivo {

void plotRose(DrawingSurface& surface, const RoseCurve& rose)
{
    plotRoseWith<StdMaths>(surface, rose);
}

} // namespace kestivo
