#pragma once

// A pattern's own frames, for the benchmarks that set paced drawing against
// its frames presented alone: the session reveals it at the program's pace
// on a clock that ticks every intervalMs, with no window, and the regions
// each frame presents are kept.

#include "session/FrontEnd.h"
#include "session/Session.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestivo::bench {

class FrameRecorder final : public FrontEnd {
public:
    void present(const DirtyRegion& dirty) override { frames.push_back(dirty); }
    void showBusy(bool) override {}
    void reportError(const std::string&, const std::string&) override {}
    void exit(int) override {}
    void runFrames(bool on) override { running = on; }
    std::uint32_t inputClockMs() override { return std::uint32_t(nowMs); }

    // Clicks button and ticks the clock until the session has no frames to show.
    void reveal(Session& session, const char* button, double intervalMs)
    {
        session.click(button);
        while (running) {
            nowMs += intervalMs;
            session.frame(nowMs);
        }
    }

    std::vector<DirtyRegion> frames;
    bool running = false;
    double nowMs = 1000;
};

// The frames of the pattern behind button, on an empty picture of scale.
inline std::vector<DirtyRegion> framesOf(const char* button, double scale, double intervalMs)
{
    FrameRecorder recorder;
    Session session(recorder, scale, {});
    recorder.reveal(session, button, intervalMs);
    return std::move(recorder.frames);
}

} // namespace kestivo::bench
