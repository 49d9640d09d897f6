// The test build of the page: its picture's surface fails a PSet part way
// through a pattern, so the page's report of a run-time error can be seen.

#include "web/Page.h"

#include "support/Surfaces.h"

namespace kestivo {

std::unique_ptr<DrawingSurface> wrapPictureSurface(DrawingSurface& picture)
{
    constexpr std::size_t kFailingPoint = 5000; // some of the border drawn first
    return std::make_unique<test::FaultySurface>(test::Op::PSet, kFailingPoint, &picture);
}

} // namespace kestivo
