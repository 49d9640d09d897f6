#include "session/Picture.h"

#include "program/CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <cmath>

namespace kestivo {

namespace {
std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string scaleRange()
{
    return "a number from " + number(Picture::kMinScale) + " to " + number(Picture::kMaxScale);
}

bool inRange(double scale)
{
    return scale >= Picture::kMinScale && scale <= Picture::kMaxScale;
}

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

std::optional<std::string> scaleProblem(double scale, std::string_view from)
{
    if (inRange(scale))
        return std::nullopt;
    return "the window's scale would be " + number(scale) + " (from " + std::string(from) +
           "): the window is drawn at " + scaleRange();
}

std::optional<std::string> scaleSettingProblem(std::string_view setting, std::string_view value)
{
    if (const auto scale = readNumber(value); scale && inRange(*scale))
        return std::nullopt;
    return std::string(setting) + "=" + std::string(value) + " is not a scale the window can be drawn at: give " +
           scaleRange();
}

int Picture::device(int logical) const
{
    return int(std::ceil(logical * scale_));
}

// Drawing a routine again paints over everything its earlier run painted
// (each pixel it touches takes the last colour the routine gives it,
// whatever was there), so the earlier run can be forgotten: the list never
// holds a routine twice.
void Picture::drawn(Routine routine, bool cleared)
{
    cutShort(cleared);
    std::erase(routines_, routine);
    routines_.push_back(routine);
}

void Picture::cutShort(bool cleared)
{
    if (cleared)
        routines_.clear();
}

bool Picture::adoptScale(double requested)
{
    const double scale = withinRange(requested);
    if (!(requested > 0) || scale == scale_ || scale == failedScale_)
        return false;
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
    return true;
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
