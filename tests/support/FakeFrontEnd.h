#pragma once

#include "session/FrontEnd.h"
#include "session/Pace.h"
#include "session/Session.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace kestivo::test {

// A front-end with no window: it counts what the session asks of it, its
// frame clock ticks only when a test says, and its input clock moves with
// the frames.
class FakeFrontEnd final : public FrontEnd {
public:
    void present(const DirtyRegion&) override { ++presents; }
    void showBusy(bool on) override
    {
        if (on && busyFails)
            throw std::bad_alloc();
        busy = on;
    }
    void reportError(const std::string&, const std::string& message) override
    {
        reports.push_back(message);
        if (duringReport) // while the report is up
            duringReport();
        if (dismiss && session)
            session->errorDismissed();
    }
    void exit(int s) override
    {
        exits.push_back(s);
        status = s;
    }
    void runFrames(bool on) override { framesOn = on; }
    std::uint32_t inputClockMs() override { return std::uint32_t(std::llround(nowMs)); }

    // Frames as the window system's clock would give them, each
    // Pace::kFrameMs after the last (plus gapMs before the first), while
    // the session wants them, at most `limit`; how many came.
    int tick(int limit = 1'000'000, double gapMs = 0)
    {
        nowMs += gapMs;
        int n = 0;
        for (; framesOn && n < limit; ++n) {
            nowMs += Pace::kFrameMs;
            session->frame(nowMs);
        }
        return n;
    }

    Session* session = nullptr; // ticked, and told of dismissals
    bool dismiss = true;        // the user dismisses a report at once
    double nowMs = 100'000;
    int presents = 0;
    bool busy = false;
    bool busyFails = false; // turning busy on throws, as when memory has run out
    bool framesOn = false;
    std::vector<std::string> reports;
    std::function<void()> duringReport;
    std::vector<int> exits;
    int status = -1;
};

// Session options at a pace (by default the program's).
inline Session::Options paced(double pointsPerSecond = Pace::kPointsPerSecond)
{
    Session::Options o;
    o.pointsPerSecond = pointsPerSecond;
    return o;
}

// A window: the fake front-end and its session, at no pace unless a test
// gives one.
struct FakeWindow {
    explicit FakeWindow(Session::Options o = paced(0), double scale = 1.0) : session(fe, scale, std::move(o))
    {
        fe.session = &session;
    }
    // A click, and its frames until the session stops them.
    void click(const char* button)
    {
        session.click(button);
        fe.tick();
    }
    const RasterSurface& raster() const { return session.picture().raster(); }

    FakeFrontEnd fe;
    Session session;
};

} // namespace kestivo::test
