#include "surface/RecordingSurface.h"

#include <algorithm>

namespace kestivo {

Status RecordingSurface::DrawWidth(int width)
{
    calls_.push_back({.op = Op::DrawWidth, .width = width});
    return Status::Ok;
}

Status RecordingSurface::PSet(float x, float y, Rgb colour)
{
    calls_.push_back({.op = Op::PSet, .x1 = x, .y1 = y, .colour = colour});
    return Status::Ok;
}

Status RecordingSurface::Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style)
{
    calls_.push_back(
        {.op = Op::Line, .x1 = x1, .y1 = y1, .x2 = x2, .y2 = y2, .colour = colour, .style = style});
    return Status::Ok;
}

Status RecordingSurface::Cls()
{
    calls_.push_back({.op = Op::Cls});
    return Status::Ok;
}

std::size_t RecordingSurface::count(Op op) const
{
    return std::size_t(std::count_if(calls_.begin(), calls_.end(),
                                     [op](const Call& c) { return c.op == op; }));
}

} // namespace kestivo
