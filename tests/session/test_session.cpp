// The session on a front-end with no window: the picture drawn again
// exactly at each scale, from the routines drawn since the last clear.

#include "session/Session.h"
#include "support/FakeFrontEnd.h"
#include "support/Surfaces.h"

#include <gtest/gtest.h>

using namespace kestivo;

namespace {

using test::enginePicture;

Session::Options unpaced()
{
    Session::Options o;
    o.pointsPerSecond = 0;
    return o;
}

// Asks for a scale change in the middle of a routine, as a paint on a
// screen of another scale would.
class ScaleChangeAtPoint final : public test::ForwardingSurface {
public:
    ScaleChangeAtPoint(DrawingSurface& to, int point, double scale, Picture*& picture)
        : ForwardingSurface(&to), point_(point), scale_(scale), picture_(picture)
    {
    }
    double twipsPerPixelMidway = 0;

private:
    Status handle(const test::Call& call) override
    {
        if (call.op == test::Op::PSet && points_++ == point_) {
            picture_->adoptScale(scale_);
            twipsPerPixelMidway = picture_->raster().scale().twipsPerPixel();
        }
        return forward(call);
    }
    int point_;
    int points_ = 0;
    double scale_;
    Picture*& picture_;
};

} // namespace

TEST(PictureScale, RoundTripsBetweenScalesGiveBackTheSamePixels)
{
    test::FakeFrontEnd window;
    Session session(window, 1.0, unpaced());
    session.CmdHwbk_Click();
    session.CmdHwty_Click();
    session.CmdSgxc_Click();
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
        session.CmdSgxc_Click();
        session.CmdHwty_Click();
        session.CmdHwbk_Click();
    }
    EXPECT_LE(picture.routines().size(), 3u);
    session.CmdHwty_Click();
    picture.adoptScale(2.0);
    EXPECT_EQ(picture.raster().snapshot(),
              enginePicture(picture.raster(), {DrawSgxc, DrawHwbk, DrawHwty}));

    session.CmdCls_Click();
    session.CmdSgxc_Click();
    session.CmdHwbk_Click();
    picture.adoptScale(1.5);
    EXPECT_EQ(picture.raster().snapshot(), enginePicture(picture.raster(), {DrawSgxc, DrawHwbk}));
    session.CmdCls_Click();
    picture.adoptScale(1.0);
    EXPECT_EQ(picture.raster().snapshot(), enginePicture(picture.raster(), {}));
}

TEST(PictureScale, AChangeDuringARoutineWaitsForItsEndAndLosesNothing)
{
    Picture* picture = nullptr;
    ScaleChangeAtPoint* watcher = nullptr;
    Session::Options o = unpaced();
    o.decorate = [&](DrawingSurface& screen) {
        auto d = std::make_unique<ScaleChangeAtPoint>(screen, 100'000, 2.0, picture);
        watcher = d.get();
        return d;
    };
    test::FakeFrontEnd window;
    Session session(window, 1.0, o);
    picture = &session.picture();
    // The change comes after the box, which no later pass draws again.
    session.CmdHwbk_Click();
    EXPECT_EQ(watcher->twipsPerPixelMidway, 15.0) << "the routine went on at its own scale";
    EXPECT_EQ(picture->raster().scale().twipsPerPixel(), 7.5);
    EXPECT_EQ(picture->raster().snapshot(), enginePicture(picture->raster(), {DrawHwbk}));
}
