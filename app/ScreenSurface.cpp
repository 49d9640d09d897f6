#include "ScreenSurface.h"

#include "Canvas.h"

namespace kestivo {

ScreenSurface::ScreenSurface(Canvas& canvas, Clock& clock, double pointsPerSecond)
    : canvas_(canvas), pacer_(clock, pointsPerSecond)
{
    pacer_.frameWhileWaiting = [this] { present(); };
}

Status ScreenSurface::DrawWidth(int width)
{
    return canvas_.raster().DrawWidth(width);
}

Status ScreenSurface::PSet(float x, float y, Rgb colour)
{
    const Status s = canvas_.raster().PSet(x, y, colour);
    if (pacer_.point()) [[unlikely]]
        present();
    return s;
}

Status ScreenSurface::Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style)
{
    const Status s = canvas_.raster().Line(x1, y1, x2, y2, colour, style);
    if (pacer_.settle())
        present();
    return s;
}

Status ScreenSurface::Cls()
{
    const Status s = canvas_.raster().Cls();
    present();
    return s;
}

void ScreenSurface::beginRoutine()
{
    pacer_.start();
}

void ScreenSurface::endRoutine()
{
    present(true);
}

void ScreenSurface::present(bool last)
{
    canvas_.presentDirty();
    ++frames_;
    if (onFrame)
        onFrame();
    if (!last && betweenFrames)
        betweenFrames();
}

} // namespace kestivo
