#include "session/Picture.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kestivo {

namespace {
double withinRange(double scale)
{
    return scale > 0 ? std::clamp(scale, Picture::kMinScale, Picture::kMaxScale) : 1.0;
}
} // namespace

Picture::Picture(int logicalWidth, int logicalHeight, double logicalDpi, double scale)
    : logicalWidth_(logicalWidth), logicalHeight_(logicalHeight), logicalDpi_(logicalDpi),
      scale_(withinRange(scale)), raster_(device(logicalWidth), device(logicalHeight), logicalDpi * scale_)
{
}

int Picture::device(int logical) const
{
    return int(std::ceil(logical * scale_));
}

Picture::Drawing::Drawing(Picture& picture) : picture_(picture)
{
    picture_.drawing_ = true;
    picture_.clearsAtBegin_ = picture_.raster_.clears();
}

Picture::Drawing::~Drawing()
{
    if (!over_)
        picture_.routineOver();
}

// Drawing a routine again paints over everything its earlier run painted
// (each pixel it touches takes the last colour the routine gives it,
// whatever was there), so the earlier run can be forgotten: the list never
// holds a routine twice. Clearing, routine or not, forgets all before it.
void Picture::Drawing::finished(Routine drawn)
{
    over_ = true;
    picture_.routineOver();
    if (drawn) {
        std::erase(picture_.routines_, drawn);
        picture_.routines_.push_back(drawn);
    }
    if (picture_.pendingScale_ > 0)
        picture_.adoptScale(std::exchange(picture_.pendingScale_, 0));
}

// A routine cut short leaves what it drew unlisted; one that cleared the
// picture has still forgotten what was before.
void Picture::routineOver()
{
    drawing_ = false;
    if (raster_.clears() != clearsAtBegin_)
        routines_.clear();
}

void Picture::adoptScale(double requested)
{
    const double scale = withinRange(requested);
    if (!(requested > 0) || scale == scale_ || scale == failedScale_) {
        pendingScale_ = 0;
        return;
    }
    if (drawing_) {
        pendingScale_ = scale;
        return;
    }
    const double previous = scale_;
    scale_ = scale;
    try {
        raster_.rescale(device(logicalWidth_), device(logicalHeight_), logicalDpi_ * scale_);
    } catch (...) {
        scale_ = previous; // the picture is unchanged
        failedScale_ = scale;
        throw;
    }
    redraw();
}

// Unpaced and unseen, straight into the picture.
void Picture::redraw()
{
    const int width = raster_.penWidth();
    for (Routine r : routines_)
        r(raster_);
    (void)raster_.DrawWidth(width);
}

} // namespace kestivo
