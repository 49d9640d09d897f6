// The window's picture across scale changes and window sizes: drawn again
// exactly at each scale, never larger than the layout needs.

#include "Canvas.h"
#include "Form1.h"
#include "FormSupport.h"
#include "Palette.h"
#include "Patterns.h"
#include "RasterSurface.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

using namespace kestivo;

namespace {

using test::enginePicture;
using test::onScreen;
using test::Shown;
using test::unpaced;

// Asks for a scale change in the middle of a routine, as a paint on a
// screen of another scale would.
class ScaleChangeAtPoint final : public DrawingSurface {
public:
    ScaleChangeAtPoint(DrawingSurface& to, int point, double dpr, Canvas*& canvas)
        : to_(to), point_(point), dpr_(dpr), canvas_(canvas)
    {
    }
    Status DrawWidth(int w) override { return to_.DrawWidth(w); }
    Status PSet(float x, float y, Rgb c) override
    {
        if (points_++ == point_) {
            canvas_->adoptDevicePixelRatio(dpr_);
            scaleMidway_ = canvas_->raster().scale().twipsPerPixel();
        }
        return to_.PSet(x, y, c);
    }
    Status Line(float a, float b, float c, float d, Rgb k, BoxStyle s) override
    {
        return to_.Line(a, b, c, d, k, s);
    }
    Status Cls() override { return to_.Cls(); }
    double scaleMidway_ = 0;

private:
    DrawingSurface& to_;
    int point_;
    int points_ = 0;
    double dpr_;
    Canvas*& canvas_;
};

} // namespace

// Not shown: on the offscreen platform a paint would move the picture back
// to the screen's own scale.
TEST(CanvasScale, RoundTripsBetweenScalesGiveBackTheSamePixels)
{
    Form1 form(unpaced());
    form.CmdHwbk_Click();
    form.CmdHwty_Click();
    form.CmdSgxc_Click();
    Canvas& canvas = form.canvas();
    const auto all = {DrawHwbk, DrawHwty, DrawSgxc};
    const QImage once = canvas.raster().image();
    ASSERT_EQ(once, enginePicture(form, all));

    canvas.adoptDevicePixelRatio(1.5);
    ASSERT_EQ(canvas.raster().size(), QSize(1200, 828));
    EXPECT_EQ(canvas.raster().image(), enginePicture(form, all)) << "at 1.5x";
    canvas.adoptDevicePixelRatio(1.0);
    EXPECT_EQ(canvas.raster().image(), once) << "1x -> 1.5x -> 1x";

    canvas.adoptDevicePixelRatio(2.0);
    const QImage twice = canvas.raster().image();
    EXPECT_EQ(twice, enginePicture(form, all)) << "at 2x";
    canvas.adoptDevicePixelRatio(1.0);
    canvas.adoptDevicePixelRatio(2.0);
    EXPECT_EQ(canvas.raster().image(), twice) << "2x -> 1x -> 2x";
    EXPECT_EQ(canvas.raster().drawWidth(), 1);
}

TEST(CanvasScale, RedrawingForgetsOnlyWhatLaterDrawingCovers)
{
    Form1 form(unpaced());
    Canvas& canvas = form.canvas();
    // Every routine over and over: what a redraw keeps stays bounded.
    for (int round = 0; round < 3; ++round) {
        form.CmdSgxc_Click();
        form.CmdHwty_Click();
        form.CmdHwbk_Click();
    }
    EXPECT_LE(canvas.routines().size(), 3u);
    form.CmdHwty_Click();
    canvas.adoptDevicePixelRatio(2.0);
    EXPECT_EQ(canvas.raster().image(), enginePicture(form, {DrawSgxc, DrawHwbk, DrawHwty}));

    form.CmdCls_Click();
    form.CmdSgxc_Click();
    form.CmdHwbk_Click();
    canvas.adoptDevicePixelRatio(1.5);
    EXPECT_EQ(canvas.raster().image(), enginePicture(form, {DrawSgxc, DrawHwbk}));
    form.CmdCls_Click();
    canvas.adoptDevicePixelRatio(1.0);
    EXPECT_EQ(canvas.raster().image(), enginePicture(form, {}));
}

TEST(CanvasScale, AChangeDuringARoutineWaitsForItsEndAndLosesNothing)
{
    Canvas* canvas = nullptr;
    ScaleChangeAtPoint* watcher = nullptr;
    Form1::Options o = unpaced();
    o.decorate = [&](DrawingSurface& screen) {
        auto d = std::make_unique<ScaleChangeAtPoint>(screen, 100'000, 2.0, canvas);
        watcher = d.get();
        return d;
    };
    Form1 form(o);
    canvas = &form.canvas();
    // The change comes after the box, which no later pass draws again.
    form.CmdHwbk_Click();
    EXPECT_EQ(watcher->scaleMidway_, 15.0) << "the routine went on at its own scale";
    EXPECT_EQ(canvas->raster().scale().twipsPerPixel(), 7.5);
    EXPECT_EQ(canvas->raster().image(), enginePicture(form, {DrawHwbk}));
}

TEST(CanvasSize, AWindowLargerThanTheLayoutShowsTheBackgroundAndCostsNoPicture)
{
    Shown shown(unpaced());
    Form1& form = shown.form;
    form.CmdHwbk_Click();
    const QImage picture = form.canvas().raster().image();
    const QSize start = form.size();
    ASSERT_EQ(picture.size(), start) << "the picture covers the window as it opens";

    form.resize(1500, 1100);
    QApplication::processEvents();
    EXPECT_EQ(form.canvas().raster().size(), start);
    const QImage shownNow = onScreen(form);
    ASSERT_EQ(shownNow.size(), QSize(1500, 1100));
    EXPECT_EQ(shownNow.copy(picture.rect()), picture);
    for (QPoint p : {QPoint(start.width(), 0), QPoint(0, start.height()), QPoint(1499, 1099)})
        EXPECT_EQ(shownNow.pixel(p), kBackground.argb()) << p.x() << "," << p.y();

    form.resize(start);
    QApplication::processEvents();
    EXPECT_EQ(onScreen(form), picture);
}
