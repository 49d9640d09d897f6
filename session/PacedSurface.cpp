#include "session/PacedSurface.h"

#include "session/Picture.h"
#include "surface/RasterSurface.h"

#include <algorithm>

namespace kestivo {

PacedSurface::PacedSurface(Picture& picture, Clock& clock, double pointsPerSecond, Present present)
    : picture_(picture), pacer_(clock, pointsPerSecond), present_(std::move(present))
{
    pacer_.frameWhileWaiting = [this] { this->present(); };
}

Status PacedSurface::DrawWidth(int width)
{
    return picture_.raster().DrawWidth(width);
}

Status PacedSurface::PSet(float x, float y, Rgb colour)
{
    const Status s = picture_.raster().PSet(x, y, colour);
    if (pacer_.drawn(1)) [[unlikely]]
        present();
    return s;
}

Status PacedSurface::PSetRun(std::span<const Point> run, Rgb colour)
{
    while (!run.empty()) {
        const std::size_t piece = std::min(run.size(), std::size_t(std::max(1, pacer_.untilLook())));
        if (picture_.raster().PSetRun(run.first(piece), colour) != Status::Ok)
            return Status::Failed;
        run = run.subspan(piece);
        if (pacer_.drawn(int(piece))) [[unlikely]]
            present();
    }
    return Status::Ok;
}

Status PacedSurface::Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style)
{
    const Status s = picture_.raster().Line(x1, y1, x2, y2, colour, style);
    if (pacer_.settle())
        present();
    return s;
}

Status PacedSurface::Cls()
{
    const Status s = picture_.raster().Cls();
    present();
    return s;
}

void PacedSurface::beginRoutine()
{
    pacer_.start();
}

void PacedSurface::keepToSchedule()
{
    if (pacer_.settle())
        present();
}

void PacedSurface::endRoutine()
{
    present(true);
}

void PacedSurface::present(bool last)
{
    if (const DirtyRegion dirty = picture_.raster().takeDirty(); !dirty.empty())
        present_(dirty);
    if (onFrame)
        onFrame();
    if (!last && betweenFrames)
        betweenFrames();
}

} // namespace kestivo
