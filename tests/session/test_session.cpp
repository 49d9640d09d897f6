// The session on a front-end with no window: the picture drawn again
// exactly at each scale, from the routines drawn since the last clear; the
// rules of a run (busy, input, close, failure); and how the session ends
// when closes and failures meet.

#include "session/Commands.h"
#include "session/Layout.h"
#include "session/Session.h"
#include "support/FailingArrays.h"
#include "support/FakeClock.h"
#include "support/FakeFrontEnd.h"
#include "support/Surfaces.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kestivo;

namespace {

using test::enginePicture;

Session::Options unpaced()
{
    Session::Options o;
    o.pointsPerSecond = 0;
    return o;
}

// Runs a step at the nth PSet of a routine: what a paint, a close or a
// front-end's failure does in the middle of drawing.
class AtPoint final : public test::ForwardingSurface {
public:
    AtPoint(DrawingSurface& to, int point, std::function<void()> step)
        : ForwardingSurface(&to), point_(point), step_(std::move(step))
    {
    }

private:
    Status handle(const test::Call& call) override
    {
        if (call.op == test::Op::PSet && points_++ == point_) {
            (void)sendHeld();
            step_();
        }
        return forward(call);
    }
    int point_;
    int points_ = 0;
    std::function<void()> step_;
};

// Paced, on a clock that moves only when the pacer sleeps: frames come as
// they would, at once.
Session::Options stepAt(int point, test::FakeClock& clock, std::function<void()> step)
{
    Session::Options o;
    o.clock = &clock;
    o.decorate = [point, step = std::move(step)](DrawingSurface& screen) {
        return std::make_unique<AtPoint>(screen, point, step);
    };
    return o;
}

// The user closes the window, as both front-ends do: it goes if the session
// lets it (Win32 ends at once with status 0, and its first status stands).
void closeWindow(Session& session, test::FakeFrontEnd& window)
{
    if (session.requestClose())
        window.exit(0);
}

std::exception_ptr paintFailure()
{
    return std::make_exception_ptr(std::runtime_error("a paint could not allocate"));
}

} // namespace

TEST(PictureScale, RoundTripsBetweenScalesGiveBackTheSamePixels)
{
    test::FakeFrontEnd window;
    Session session(window, 1.0, unpaced());
    session.click(layout::kCmdHwbk);
    session.click(layout::kCmdHwty);
    session.click(layout::kCmdSgxc);
    Picture& picture = session.picture();
    const auto all = {DrawHwbk, DrawHwty, DrawSgxc};
    const Pixels once = picture.raster().snapshot();
    ASSERT_EQ(once, enginePicture(picture.raster(), all));

    picture.adoptScale(1.5);
    ASSERT_EQ(picture.raster().width(), 1200);
    ASSERT_EQ(picture.raster().height(), 828);
    EXPECT_EQ(picture.raster().snapshot(), enginePicture(picture.raster(), all)) << "at 1.5x";
    picture.adoptScale(1.0);
    EXPECT_EQ(picture.raster().snapshot(), once) << "1x -> 1.5x -> 1x";

    picture.adoptScale(2.0);
    const Pixels twice = picture.raster().snapshot();
    EXPECT_EQ(twice, enginePicture(picture.raster(), all)) << "at 2x";
    picture.adoptScale(1.0);
    picture.adoptScale(2.0);
    EXPECT_EQ(picture.raster().snapshot(), twice) << "2x -> 1x -> 2x";
    EXPECT_EQ(picture.raster().penWidth(), 1);
}

TEST(PictureScale, RedrawingForgetsOnlyWhatLaterDrawingCovers)
{
    test::FakeFrontEnd window;
    Session session(window, 1.0, unpaced());
    Picture& picture = session.picture();
    // Every routine over and over: what a redraw keeps stays bounded.
    for (int round = 0; round < 3; ++round) {
        session.click(layout::kCmdSgxc);
        session.click(layout::kCmdHwty);
        session.click(layout::kCmdHwbk);
    }
    EXPECT_LE(picture.routines().size(), 3u);
    session.click(layout::kCmdHwty);
    picture.adoptScale(2.0);
    EXPECT_EQ(picture.raster().snapshot(),
              enginePicture(picture.raster(), {DrawSgxc, DrawHwbk, DrawHwty}));

    session.click(layout::kCmdCls);
    session.click(layout::kCmdSgxc);
    session.click(layout::kCmdHwbk);
    picture.adoptScale(1.5);
    EXPECT_EQ(picture.raster().snapshot(), enginePicture(picture.raster(), {DrawSgxc, DrawHwbk}));
    session.click(layout::kCmdCls);
    picture.adoptScale(1.0);
    EXPECT_EQ(picture.raster().snapshot(), enginePicture(picture.raster(), {}));
}

TEST(PictureScale, AChangeDuringARoutineWaitsForItsEndAndLosesNothing)
{
    Session* session = nullptr;
    double twipsPerPixelMidway = 0;
    test::FakeClock clock;
    test::FakeFrontEnd window;
    Session s(window, 1.0, stepAt(100'000, clock, [&] {
                  session->picture().adoptScale(2.0);
                  twipsPerPixelMidway = session->picture().raster().scale().twipsPerPixel();
              }));
    session = &s;
    Picture& picture = s.picture();
    // The change comes after the box, which no later pass draws again.
    s.click(layout::kCmdHwbk);
    EXPECT_EQ(twipsPerPixelMidway, 15.0) << "the routine went on at its own scale";
    EXPECT_EQ(picture.raster().scale().twipsPerPixel(), 7.5);
    EXPECT_EQ(picture.raster().snapshot(), enginePicture(picture.raster(), {DrawHwbk}));
}

TEST(PictureScale, ARoutineCutShortByACloseOrAFailureLeavesScaleChangesWorking)
{
    for (const bool byFailure : {false, true}) {
        SCOPED_TRACE(byFailure ? "failure" : "close");
        Session* session = nullptr;
        test::FakeClock clock;
        test::FakeFrontEnd window;
        Session s(window, 1.0, stepAt(5'000, clock, [&] {
                      if (byFailure)
                          session->failLater(paintFailure());
                      else
                          closeWindow(*session, window);
                  }));
        session = &s;
        s.click(layout::kCmdHwty);
        ASSERT_EQ(window.exits, std::vector<int>{byFailure ? 1 : 0});
        s.picture().adoptScale(2.0);
        EXPECT_EQ(s.picture().scale(), 2.0) << "adopted at once, not held for a routine long gone";
    }
}

TEST(PictureScale, AScaleWhosePictureCannotBeHadFailsOnceAndThePictureStays)
{
    test::FakeFrontEnd window;
    Session session(window, 1.0, unpaced());
    session.click(layout::kCmdHwbk);
    Picture& picture = session.picture();
    const Pixels before = picture.raster().snapshot();
    test::FailingArrays noRoom(4 << 20); // the 2x picture is 7 MB
    EXPECT_THROW(picture.adoptScale(2.0), std::bad_alloc);
    const int refused = test::FailingArrays::refused();
    // Every paint asks again while the failure is reported: it is not tried.
    EXPECT_NO_THROW(picture.adoptScale(2.0));
    EXPECT_EQ(test::FailingArrays::refused(), refused);
    EXPECT_EQ(picture.scale(), 1.0);
    EXPECT_EQ(picture.raster().snapshot(), before);
}

// A failure's report and status stand whatever the user does meanwhile: a
// close queued before the report (Win32 posts it, Qt delivers it before the
// queued report) or given while the report is up.
TEST(SessionEnd, AFailureIsReportedOnceAndEndsWithStatus1WhateverCloseComes)
{
    {
        SCOPED_TRACE("a front-end's failure between events");
        test::FakeFrontEnd window;
        Session session(window, 1.0, unpaced());
        session.failLater(paintFailure());
        closeWindow(session, window);
        window.duringReport = [&] { closeWindow(session, window); };
        window.runLater();
        EXPECT_EQ(window.reports.size(), 1u);
        EXPECT_EQ(window.exits, std::vector<int>{1});
        closeWindow(session, window);
        EXPECT_EQ(window.exits, std::vector<int>{1});
    }
    {
        SCOPED_TRACE("a front-end's failure while drawing, then a close");
        Session* session = nullptr;
        test::FakeClock clock;
        test::FakeFrontEnd window;
        Session s(window, 1.0, stepAt(5'000, clock, [&] {
                      session->failLater(paintFailure());
                      closeWindow(*session, window);
                  }));
        session = &s;
        window.duringReport = [&] { closeWindow(s, window); };
        s.click(layout::kCmdHwbk);
        EXPECT_EQ(window.reports.size(), 1u);
        EXPECT_EQ(window.exits, std::vector<int>{1});
    }
    {
        SCOPED_TRACE("a failing drawing call, closed during its report");
        Session::Options o = unpaced();
        o.decorate = [](DrawingSurface& screen) {
            return std::make_unique<test::FaultySurface>(test::Op::PSet, 1000, &screen);
        };
        test::FakeFrontEnd window;
        Session session(window, 1.0, o);
        window.duringReport = [&] { closeWindow(session, window); };
        session.click(layout::kCmdSgxc);
        EXPECT_EQ(window.reports.size(), 1u);
        EXPECT_EQ(window.exits, std::vector<int>{1});
    }
}

// Busy exactly while a routine runs, however it ends; a close or a
// front-end's failure given meanwhile ends it at the next frame, abandoned,
// with the end's own status; and nothing starts once the session has ended.
TEST(RunRules, ARoutineIsBusyUntilItEndsAndACloseOrAFailureEndsItAtTheNextFrame)
{
    enum class End { Finished, Closed, FrontEndFailed, BusyFailed };
    const struct {
        End end;
        const char* name;
        std::vector<int> exits;
        std::size_t reports;
    } cases[] = {
        {End::Finished, "finished", {}, 0},
        {End::Closed, "closed", {0}, 0},
        {End::FrontEndFailed, "a front-end's failure", {1}, 1},
        {End::BusyFailed, "the busy state could not be shown", {1}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session* session = nullptr;
        test::FakeClock clock;
        test::FakeFrontEnd window;
        window.busyFails = c.end == End::BusyFailed;
        bool busyMidway = false;
        double askedAt = -1;
        Session s(window, 1.0, stepAt(500'000, clock, [&] {
                      busyMidway = session->busy() && window.busy;
                      askedAt = clock.seconds();
                      if (c.end == End::Closed) {
                          EXPECT_FALSE(session->requestClose()) << "the window closed mid-drawing";
                          EXPECT_FALSE(session->requestClose());
                      } else if (c.end == End::FrontEndFailed) {
                          session->failLater(paintFailure());
                      }
                  }));
        session = &s;
        s.click(layout::kCmdHwbk);
        EXPECT_FALSE(s.busy());
        EXPECT_FALSE(window.busy);
        EXPECT_EQ(window.exits, c.exits);
        EXPECT_EQ(window.reports.size(), c.reports);
        if (c.end == End::BusyFailed) {
            EXPECT_EQ(askedAt, -1) << "drawn without the busy state";
            EXPECT_EQ(window.frames, 0);
        } else {
            EXPECT_TRUE(busyMidway);
        }
        if (c.end == End::Closed || c.end == End::FrontEndFailed) {
            EXPECT_LT(clock.seconds() - askedAt, 2 / Pacer::kFramesPerSecond) << "it waited for the pattern";
        }
        EXPECT_EQ(s.picture().routines().size(), c.end == End::Finished ? 1u : 0u)
            << "an abandoned drawing is drawn again at another scale";
        if (c.end != End::Finished) {
            const int frames = window.frames;
            s.click(layout::kCmdHwbk);
            EXPECT_EQ(window.frames, frames) << "a routine started after the end";
        }
    }
}

// Input given while a routine runs never runs: discarded as it comes, and
// by its stamp in the input clock when it arrives only after the end, also
// when that clock wraps meanwhile. Input given after the end runs.
TEST(RunRules, InputGivenDuringARoutineIsDiscardedHoweverLateItArrives)
{
    for (const bool wraps : {false, true}) {
        SCOPED_TRACE(wraps ? "the input clock wraps" : "no wrap");
        Session* session = nullptr;
        test::FakeClock clock;
        test::FakeFrontEnd window;
        window.clockMs = wraps ? 0xFFFF'FD00u : 50'000u;
        std::uint32_t givenMs = 0;
        Session s(window, 1.0, stepAt(500'000, clock, [&] {
                      givenMs = window.clockMs;
                      EXPECT_TRUE(session->discardsInput(std::nullopt));
                      EXPECT_TRUE(session->discardsInput(givenMs));
                      EXPECT_TRUE(session->discardsInput(givenMs + 100u)) << "stamped later";
                      // Clicks that reach the handlers anyway run nothing.
                      for (const Command& command : kCommands)
                          session->click(command.button);
                  }));
        session = &s;
        s.surface().onFrame = [&] { window.clockMs += 16; }; // the input clock goes on
        s.click(layout::kCmdHwbk);
        ASSERT_NE(givenMs, 0u);
        ASSERT_EQ(window.clockMs < givenMs, wraps);
        EXPECT_EQ(s.picture().routines(), std::vector<Routine>{DrawHwbk});
        EXPECT_TRUE(window.exits.empty()) << "退出 ran";

        window.clockMs += 5; // in flight
        EXPECT_TRUE(s.discardsInput(givenMs)) << "given during the routine, arriving after it";
        EXPECT_FALSE(s.discardsInput(window.clockMs)) << "given after it";
        EXPECT_FALSE(s.discardsInput(std::nullopt)) << "unstamped, arriving after it";
    }
}

// A front-end's failure between events: nothing starts before its report,
// which comes once, for the first failure, and nothing starts after.
TEST(SessionEnd, AFrontEndsFailureBetweenEventsIsReportedOnceAndNothingStartsMeanwhile)
{
    test::FakeFrontEnd window;
    Session session(window, 1.0, unpaced());
    session.failLater(paintFailure());
    session.failLater(std::make_exception_ptr(std::bad_alloc())); // the next paint fails too
    EXPECT_TRUE(session.ended());
    session.click(layout::kCmdHwbk);
    window.runLater();
    session.click(layout::kCmdHwbk);
    EXPECT_TRUE(session.picture().routines().empty()) << "a click drew";
    ASSERT_EQ(window.reports.size(), 1u);
    EXPECT_NE(window.reports[0].find("a paint could not allocate"), std::string::npos);
    EXPECT_EQ(window.exits, std::vector<int>{1});
}

TEST(Faults, EveryOperationFailingInEachHandlerEndsWithAReportAndDrawsNothingMore)
{
    struct Case {
        std::vector<const char*> clicks; // the last one meets the fault
        test::Op op;
        std::size_t failAt;
        std::optional<BoxStyle> style;
        const char* qualified;
    };
    using Op = test::Op;
    const Case cases[] = {
        {{layout::kCmdHwbk}, Op::DrawWidth, 0, {}, "Form1.DrawWidth"},
        {{layout::kCmdHwbk}, Op::DrawWidth, 2, {}, "Form1.DrawWidth"},
        {{layout::kCmdHwbk}, Op::Line, 0, BoxStyle::B, "Form1.Line"},
        {{layout::kCmdHwbk}, Op::PSet, 700'000, {}, "Form1.PSet"},
        {{layout::kCmdHwty}, Op::DrawWidth, 0, {}, "Form1.DrawWidth"},
        {{layout::kCmdHwty}, Op::PSet, 100'000, {}, "Form1.PSet"},
        {{layout::kCmdSgxc}, Op::DrawWidth, 0, {}, "Form1.DrawWidth"},
        {{layout::kCmdSgxc}, Op::Line, 5, BoxStyle::B, "Form1.Line"},
        {{layout::kCmdSgxc}, Op::Line, 7, BoxStyle::BF, "Form1.Line"},
        {{layout::kCmdSgxc}, Op::PSet, 300'000, {}, "Form1.PSet"},
        {{layout::kCmdHwbk, layout::kCmdCls}, Op::Cls, 0, {}, "Form1.Cls"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.qualified) + " #" + std::to_string(c.failAt) + " after " +
                     c.clicks.back());
        test::FaultySurface* faulty = nullptr;
        Session::Options o = unpaced();
        o.decorate = [&](DrawingSurface& screen) {
            auto f = std::make_unique<test::FaultySurface>(c.op, c.failAt, &screen, c.style);
            faulty = f.get();
            return f;
        };
        test::FakeFrontEnd window;
        Session session(window, 1.0, o);
        testing::internal::CaptureStderr();
        for (const char* b : c.clicks)
            session.click(b);
        const std::string err = testing::internal::GetCapturedStderr();

        ASSERT_TRUE(faulty->failed());
        ASSERT_EQ(window.reports.size(), 1u);
        EXPECT_NE(window.reports[0].find(c.qualified), std::string::npos);
        EXPECT_NE(err.find(c.qualified), std::string::npos);
        EXPECT_EQ(window.exits, std::vector<int>{1});
        EXPECT_TRUE(session.ended());
        EXPECT_FALSE(session.busy() || window.busy);

        // Nothing runs after the error.
        const std::size_t callsAtFailure = faulty->calls().size();
        session.click(layout::kCmdHwbk);
        EXPECT_EQ(window.reports.size(), 1u);
        EXPECT_EQ(faulty->calls().size(), callsAtFailure);

        // The picture is exactly the calls before the failing one.
        auto calls = faulty->calls();
        ASSERT_EQ(calls.back().op, c.op) << "the failing call was the last";
        calls.pop_back();
        RasterSurface expected = test::rasterLike(session.picture().raster());
        test::replay(calls, expected);
        EXPECT_EQ(session.picture().raster().snapshot(), expected.snapshot());
    }
}
