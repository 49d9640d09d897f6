// The test build of the page: its routines' surface fails a PSet part way
// through a pattern, so the page's report of a run-time error can be seen.

#include "web/Page.h"

#include "support/Surfaces.h"

int main()
{
    kestivo::Session::Options options;
    options.decorate = [](kestivo::DrawingSurface& recording) -> std::unique_ptr<kestivo::DrawingSurface> {
        constexpr std::size_t kFailingPoint = 5000; // some of the border drawn first
        return std::make_unique<kestivo::test::FaultySurface>(kestivo::test::Op::PSet, kFailingPoint, &recording);
    };
    return kestivo::startPage(std::move(options));
}
