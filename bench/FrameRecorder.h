#pragma once

// A pattern's own frames, for the benchmarks that set paced drawing against
// its frames presented alone: the regions its points change in each
// sixtieth of a second at the paced rate.

#include "patterns/Patterns.h"
#include "session/Pacer.h"
#include "surface/RasterSurface.h"

#include <utility>
#include <vector>

namespace kestivo::bench {

class FrameRecorder final : public DrawingSurface {
public:
    explicit FrameRecorder(const RasterSurface& like)
        : raster_(like.width(), like.height(), 1440.0 / like.scale().twipsPerPixel())
    {
    }
    Status DrawWidth(int width) override { return raster_.DrawWidth(width); }
    Status PSet(float x, float y, Rgb colour) override
    {
        const Status s = raster_.PSet(x, y, colour);
        if (++points_ % kPointsPerFrame == 0)
            frame();
        return s;
    }
    Status Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style) override
    {
        return raster_.Line(x1, y1, x2, y2, colour, style);
    }
    Status Cls() override { return raster_.Cls(); }

    // What changed since the last frame, as one more frame.
    void frame()
    {
        if (DirtyRegion dirty = raster_.takeDirty(); !dirty.empty())
            frames_.push_back(std::move(dirty));
    }
    std::vector<DirtyRegion> take() { return std::move(frames_); }

private:
    static constexpr long kPointsPerFrame = long(Pacer::kPointsPerSecond / Pacer::kFramesPerSecond);
    RasterSurface raster_;
    std::vector<DirtyRegion> frames_;
    long points_ = 0;
};

// The frames of a pattern drawn on a picture of like's size and scale.
inline std::vector<DirtyRegion> framesOf(const RasterSurface& like, Routine engine)
{
    FrameRecorder recorder(like);
    engine(recorder);
    recorder.frame();
    return recorder.take();
}

} // namespace kestivo::bench
