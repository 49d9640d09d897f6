// The session on a front-end with no window, driven by the ticks of a fake
// frame clock: the rules of a run (busy, input, close, failure, a
// stall, the pace, memory for the recording); and how the session ends
// when closes and failures meet.

#include "form/Commands.h"
#include "form/Layout.h"
#include "session/Session.h"
#include "support/FailingArrays.h"
#include "support/FakeFrontEnd.h"
#include "support/Surfaces.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kestivo;

namespace {

using test::enginePicture;

using test::paced;

using Window = test::FakeWindow;

// The user closes the window, as the front-ends do: it goes if the session
// lets it.
void closeWindow(Window& w)
{
    if (w.session.requestClose())
        w.fe.exit(0);
}

std::exception_ptr paintFailure()
{
    return std::make_exception_ptr(std::runtime_error("a paint could not allocate"));
}

long long pointsOf(Routine routine)
{
    RecordingSurface calls;
    routine(calls);
    return static_cast<long long>(calls.count(RecordingSurface::Op::PSet));
}

} // namespace

// Busy, with input discarded, from the click to the frame that shows the
// routine's last call; then input stamped up to that frame is discarded
// however late it arrives, also when the input clock wraps meanwhile, and
// input given after it runs. Idle, the frame clock stops.
TEST(RunRules, BusyUntilTheLastCallIsShownAndInputGivenMeanwhileNeverRuns)
{
    for (const bool wraps : {false, true}) {
        SCOPED_TRACE(wraps ? "the input clock wraps" : "no wrap");
        Window w(paced());
        w.fe.nowMs = wraps ? 4294967296.0 - 300 : 50'000;
        w.session.click(layout::kCmdHwbk);
        ASSERT_TRUE(w.session.busy() && w.fe.busy && w.fe.framesOn);
        w.fe.tick(10);
        const auto givenMs = w.fe.inputClockMs();
        EXPECT_TRUE(w.session.discardsInput(std::nullopt));
        EXPECT_TRUE(w.session.discardsInput(givenMs + 100u)) << "stamped later";
        for (const Command& command : kCommands)
            w.session.click(command.button); // clicks that reach the handlers anyway
        EXPECT_TRUE(w.session.picture().routines().empty()) << "listed before it is shown";
        w.fe.tick();
        ASSERT_FALSE(w.session.busy() || w.fe.busy || w.fe.framesOn);
        ASSERT_EQ(w.fe.inputClockMs() < givenMs, wraps);
        EXPECT_EQ(w.session.picture().routines(), std::vector<Routine>{DrawHwbk});
        EXPECT_EQ(w.raster().snapshot(), enginePicture(w.raster(), {DrawHwbk}));
        EXPECT_TRUE(w.fe.exits.empty()) << "退出 ran";

        const std::uint32_t endMs = w.fe.inputClockMs();
        w.fe.nowMs += 5; // in flight
        EXPECT_TRUE(w.session.discardsInput(givenMs)) << "given during the reveal, arriving after it";
        EXPECT_TRUE(w.session.discardsInput(endMs)) << "given at its last frame";
        EXPECT_FALSE(w.session.discardsInput(endMs + 1u)) << "given after it";
        EXPECT_FALSE(w.session.discardsInput(std::nullopt)) << "unstamped, arriving after it";
    }
}

// A close request ends the program at once when idle, at the next frame
// with status 0 while a routine is shown (busy off, the routine not drawn
// again at another scale), and is refused once a failure has come: its
// report and status 1 stand.
TEST(RunRules, ACloseInEachStateEndsAsThatStateRequires)
{
    {
        SCOPED_TRACE("idle");
        Window w;
        EXPECT_TRUE(w.session.requestClose());
    }
    {
        SCOPED_TRACE("revealing");
        Window w(paced());
        w.session.click(layout::kCmdHwbk);
        w.fe.tick(3);
        EXPECT_FALSE(w.session.requestClose()) << "the window closed mid-drawing";
        EXPECT_FALSE(w.session.requestClose());
        EXPECT_TRUE(w.fe.exits.empty());
        EXPECT_EQ(w.fe.tick(), 1) << "it waited for the pattern";
        EXPECT_EQ(w.fe.exits, std::vector<int>{0});
        EXPECT_FALSE(w.fe.busy);
        EXPECT_TRUE(w.session.picture().routines().empty());
        w.session.click(layout::kCmdHwbk);
        EXPECT_FALSE(w.fe.busy || w.fe.framesOn) << "a routine started after the end";
    }
    for (const bool reportUp : {false, true}) {
        SCOPED_TRACE(reportUp ? "reporting" : "failing");
        Window w(paced());
        w.fe.dismiss = false;
        w.session.click(layout::kCmdHwbk);
        w.fe.tick(3);
        w.session.fail(paintFailure());
        testing::internal::CaptureStderr();
        if (reportUp)
            w.fe.tick();
        EXPECT_FALSE(w.session.requestClose());
        w.fe.tick();
        w.session.errorDismissed();
        (void)testing::internal::GetCapturedStderr();
        EXPECT_EQ(w.fe.reports.size(), 1u);
        EXPECT_EQ(w.fe.exits, std::vector<int>{1});
        EXPECT_FALSE(w.fe.busy);
    }
}

// A failing call is reported when the reveal reaches it, whether it is the
// routine's first call, one in the middle or its last, and a scale change
// meanwhile: what was drawn before it is shown first, exactly, then the
// report, then status 1.
TEST(RunRules, AFailureIsReportedWhenTheRevealReachesItsCall)
{
    const long long points = pointsOf(DrawHwbk);
    const struct {
        test::Op op;
        long long at;
        const char* name;
    } cases[] = {
        {test::Op::DrawWidth, 0, "first"},
        {test::Op::PSet, points / 2, "middle"},
        {test::Op::PSet, points - 1, "last"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::FaultySurface* faulty = nullptr;
        Session::Options o = paced();
        o.decorate = [&](DrawingSurface& recording) {
            auto f = std::make_unique<test::FaultySurface>(c.op, std::size_t(c.at), &recording);
            faulty = f.get();
            return f;
        };
        Window w(o);
        w.session.click(layout::kCmdHwbk);
        ASSERT_TRUE(faulty->failed()) << "the routine ran to its failure at once";
        const int wanted = int(c.at / 16'666); // frames before it is reached
        testing::internal::CaptureStderr();
        int frames = w.fe.tick(wanted / 2);
        w.session.rescale(2.0); // redrawn as far as it went, the failure where it was
        frames += w.fe.tick(wanted - frames);
        EXPECT_EQ(frames, wanted);
        EXPECT_TRUE(w.fe.reports.empty()) << "reported before it was shown";
        w.fe.tick();
        (void)testing::internal::GetCapturedStderr();
        ASSERT_EQ(w.fe.reports.size(), 1u);
        EXPECT_EQ(w.fe.exits, std::vector<int>{1});
        EXPECT_FALSE(w.fe.busy);

        auto calls = faulty->calls();
        calls.pop_back();
        RasterSurface expected = test::rasterLike(w.raster());
        test::replay(calls, expected);
        EXPECT_EQ(w.raster().snapshot(), expected.snapshot());
    }
}

// Frames that stop (a stopped process, a hidden page) and come again: the
// drawing resumes at the pace, longer by the stall, not all at once.
TEST(RunRules, AfterAStallTheRevealResumesAtThePace)
{
    const long long points = pointsOf(DrawHwty);
    Window w(paced());
    w.session.click(layout::kCmdHwty);
    w.fe.tick(10);
    const int rest = w.fe.tick(1'000'000, 5000);
    EXPECT_NEAR(rest, double(points) / 16'666.7 - 10, 2);
    EXPECT_EQ(w.raster().snapshot(), enginePicture(w.raster(), {DrawHwty}));
}

// Pace 0 shows a routine whole at the next frame; a slow one still has a
// frame clock, each frame showing its few points.
TEST(RunRules, NoPaceShowsAtTheNextFrameAndASlowPaceKeepsFramesComing)
{
    Window fast(paced(0));
    fast.session.click(layout::kCmdSgxc);
    EXPECT_EQ(fast.fe.tick(), 1);
    EXPECT_EQ(fast.raster().snapshot(), enginePicture(fast.raster(), {DrawSgxc}));

    Window slow(paced(100));
    slow.session.click(layout::kCmdHwbk);
    EXPECT_EQ(slow.fe.tick(120), 120);
    EXPECT_TRUE(slow.session.busy());
    EXPECT_GE(slow.fe.presents, 100) << "frames show the points as they come";
}

// With no memory for the recording the routine draws straight and is shown
// whole at the next frame: exact, at a scale changed meanwhile too, and no
// failure.
TEST(RunRules, WithNoMemoryForTheRecordingARoutineIsShownWholeAtOnce)
{
    for (const bool rescaled : {false, true}) {
        SCOPED_TRACE(rescaled ? "rescaled before its frame" : "as it is");
        Window w(paced());
        w.click(layout::kCmdHwty);
        {
            test::FailingArrays noRoom(1024);
            w.session.click(layout::kCmdSgxc);
            EXPECT_EQ(w.session.recordingBytes(), 0u);
        }
        if (rescaled)
            w.session.rescale(2.0);
        EXPECT_EQ(w.fe.tick(), 1);
        EXPECT_TRUE(w.fe.reports.empty());
        EXPECT_EQ(w.raster().snapshot(), enginePicture(w.raster(), {DrawHwty, DrawSgxc}));
    }
}

// The recording of the biggest pattern holds about its first colour pass.
TEST(RunRules, ARecordingHoldsAboutOnePassAndIsFreedOnceShown)
{
    Window w(paced());
    w.session.click(layout::kCmdSgxc);
    EXPECT_GT(w.session.recordingBytes(), 0u);
    EXPECT_LE(w.session.recordingBytes(), std::size_t(2300) << 10);
    w.fe.tick();
    EXPECT_EQ(w.session.recordingBytes(), 0u);
}

// A failure's report and status stand whatever the user does meanwhile: a
// close given before the report or while it is up; and a failure while busy
// could not even be shown.
TEST(SessionEnd, AFailureIsReportedOnceAndEndsWithStatus1WhateverCloseComes)
{
    {
        SCOPED_TRACE("a front-end's failure between events, then more");
        Window w;
        w.session.fail(paintFailure());
        w.session.fail(std::make_exception_ptr(std::bad_alloc())); // the next paint fails too
        EXPECT_TRUE(w.session.ended());
        closeWindow(w);
        w.click(layout::kCmdHwbk);
        w.fe.duringReport = [&] { closeWindow(w); };
        testing::internal::CaptureStderr();
        w.fe.tick();
        (void)testing::internal::GetCapturedStderr();
        EXPECT_TRUE(w.session.picture().routines().empty()) << "a click drew";
        ASSERT_EQ(w.fe.reports.size(), 1u);
        EXPECT_NE(w.fe.reports[0].find("a paint could not allocate"), std::string::npos);
        EXPECT_EQ(w.fe.exits, std::vector<int>{1});
        closeWindow(w);
        EXPECT_EQ(w.fe.exits, std::vector<int>{1});
    }
    {
        SCOPED_TRACE("the busy state could not be shown");
        Window w;
        w.fe.busyFails = true;
        testing::internal::CaptureStderr();
        w.click(layout::kCmdHwbk);
        (void)testing::internal::GetCapturedStderr();
        EXPECT_EQ(w.fe.reports.size(), 1u);
        EXPECT_EQ(w.fe.exits, std::vector<int>{1});
        EXPECT_EQ(w.fe.presents, 0) << "drawn without the busy state";
    }
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
        Session::Options o = paced(0);
        o.decorate = [&](DrawingSurface& recording) {
            auto f = std::make_unique<test::FaultySurface>(c.op, c.failAt, &recording, c.style);
            faulty = f.get();
            return f;
        };
        Window w(o);
        testing::internal::CaptureStderr();
        for (const char* b : c.clicks)
            w.click(b);
        const std::string err = testing::internal::GetCapturedStderr();

        ASSERT_TRUE(faulty->failed());
        ASSERT_EQ(w.fe.reports.size(), 1u);
        EXPECT_NE(w.fe.reports[0].find(c.qualified), std::string::npos);
        EXPECT_NE(err.find(c.qualified), std::string::npos);
        EXPECT_EQ(w.fe.exits, std::vector<int>{1});
        EXPECT_TRUE(w.session.ended());
        EXPECT_FALSE(w.session.busy() || w.fe.busy);

        // Nothing runs after the error.
        const std::size_t callsAtFailure = faulty->calls().size();
        w.click(layout::kCmdHwbk);
        EXPECT_EQ(w.fe.reports.size(), 1u);
        EXPECT_EQ(faulty->calls().size(), callsAtFailure);

        // The picture is exactly the calls before the failing one.
        auto calls = faulty->calls();
        ASSERT_EQ(calls.back().op, c.op) << "the failing call was the last";
        calls.pop_back();
        RasterSurface expected = test::rasterLike(w.raster());
        test::replay(calls, expected);
        EXPECT_EQ(w.raster().snapshot(), expected.snapshot());
    }
}
