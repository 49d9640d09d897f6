// The picture drawn again exactly at each scale, also in the middle of a
// reveal, and the scales it refuses.

#include "form/Layout.h"
#include "session/Session.h"
#include "support/FailingArrays.h"
#include "support/FakeFrontEnd.h"
#include "support/Surfaces.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestivo;

namespace {
using test::enginePicture;
using test::paced;

using Window = test::FakeWindow;
} // namespace

TEST(PictureScale, RoundTripsBetweenScalesGiveBackTheSamePixels)
{
    Window w;
    w.click(layout::kCmdHwbk);
    w.click(layout::kCmdHwty);
    w.click(layout::kCmdSgxc);
    const auto all = {DrawHwbk, DrawHwty, DrawSgxc};
    const Pixels once = w.raster().snapshot();
    ASSERT_EQ(once, enginePicture(w.raster(), all));

    w.session.rescale(1.5);
    ASSERT_EQ(w.raster().width(), 1200);
    ASSERT_EQ(w.raster().height(), 828);
    EXPECT_EQ(w.raster().snapshot(), enginePicture(w.raster(), all)) << "at 1.5x";
    w.session.rescale(1.0);
    EXPECT_EQ(w.raster().snapshot(), once) << "1x -> 1.5x -> 1x";

    w.session.rescale(2.0);
    const Pixels twice = w.raster().snapshot();
    EXPECT_EQ(twice, enginePicture(w.raster(), all)) << "at 2x";
    w.session.rescale(1.0);
    w.session.rescale(2.0);
    EXPECT_EQ(w.raster().snapshot(), twice) << "2x -> 1x -> 2x";
    EXPECT_EQ(w.raster().penWidth(), 1);
    EXPECT_FALSE(w.fe.framesOn) << "a scale change needs no frames";
}

TEST(PictureScale, RedrawingForgetsOnlyWhatLaterDrawingCovers)
{
    Window w;
    // Every routine over and over: what a redraw keeps stays bounded.
    for (int round = 0; round < 3; ++round) {
        w.click(layout::kCmdSgxc);
        w.click(layout::kCmdHwty);
        w.click(layout::kCmdHwbk);
    }
    EXPECT_LE(w.session.picture().routines().size(), 3u);
    w.click(layout::kCmdHwty);
    w.session.rescale(2.0);
    EXPECT_EQ(w.raster().snapshot(), enginePicture(w.raster(), {DrawSgxc, DrawHwbk, DrawHwty}));

    w.click(layout::kCmdCls);
    w.click(layout::kCmdSgxc);
    w.click(layout::kCmdHwbk);
    w.session.rescale(1.5);
    EXPECT_EQ(w.raster().snapshot(), enginePicture(w.raster(), {DrawSgxc, DrawHwbk}));
    w.click(layout::kCmdCls);
    w.session.rescale(1.0);
    EXPECT_EQ(w.raster().snapshot(), enginePicture(w.raster(), {}));
}

// What is shown so far is drawn again at the new scale exactly as a window
// that was at that scale all along shows it, and the reveal goes on from
// the same call: over a pattern that drew first, and over 清除.
TEST(PictureScale, AChangeMidRevealRedrawsWhatIsShownExactlyAndTheRevealGoesOn)
{
    for (const char* second : {layout::kCmdSgxc, layout::kCmdCls}) {
        SCOPED_TRACE(second);
        Window moved(paced(), 1.0), along(paced(), 2.0);
        for (Window* w : {&moved, &along}) {
            w->click(layout::kCmdHwty);
            w->session.click(second);
            w->fe.tick(second == layout::kCmdCls ? 0 : 5);
        }
        moved.session.rescale(2.0);
        ASSERT_TRUE(moved.session.busy());
        EXPECT_EQ(moved.raster().snapshot(), along.raster().snapshot());
        moved.fe.tick();
        along.fe.tick();
        EXPECT_EQ(moved.raster().snapshot(), along.raster().snapshot());
        EXPECT_EQ(moved.session.picture().routines(), along.session.picture().routines());
    }
}

TEST(PictureScale, AScaleWhosePictureCannotBeHadFailsOnceAndThePictureStays)
{
    Window w;
    w.click(layout::kCmdHwbk);
    const Pixels before = w.raster().snapshot();
    {
        test::FailingArrays noRoom(4 << 20); // the 2x picture is 7 MB
        w.session.rescale(2.0);
        const int refused = test::FailingArrays::refused();
        // Every paint asks again while the failure is reported: it is not tried.
        w.session.rescale(2.0);
        EXPECT_EQ(test::FailingArrays::refused(), refused);
    }
    EXPECT_EQ(w.session.picture().scale(), 1.0);
    EXPECT_EQ(w.raster().snapshot(), before);
    EXPECT_TRUE(w.session.ended());
    testing::internal::CaptureStderr();
    w.fe.tick();
    (void)testing::internal::GetCapturedStderr();
    EXPECT_EQ(w.fe.reports.size(), 1u);
    EXPECT_EQ(w.fe.exits, std::vector<int>{1});
}

// A scale asked for at start-up is refused, naming where it came from,
// rather than drawn at another.
TEST(PictureScale, AStartUpScaleOutOfRangeIsRefusedInOneLine)
{
    EXPECT_EQ(scaleProblem(0.25, "the screen"), std::nullopt);
    EXPECT_EQ(scaleProblem(8, "the screen"), std::nullopt);
    EXPECT_EQ(scaleProblem(10, "the screen's 960 dots per inch"),
              "the window's scale would be 10 (from the screen's 960 dots per inch): the window is drawn at "
              "a number from 0.25 to 8");
    EXPECT_EQ(scaleSettingProblem("QT_SCALE_FACTOR", " 1.5 "), std::nullopt);
    for (const char* bad : {"0", "nan", "inf", "abc", "", "1e9"})
        EXPECT_EQ(scaleSettingProblem("QT_SCALE_FACTOR", bad),
                  std::string("QT_SCALE_FACTOR=") + bad +
                      " is not a scale the window can be drawn at: give a number from 0.25 to 8");
}
