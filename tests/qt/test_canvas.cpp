// The window's picture across window sizes: never larger than the layout
// needs.

#include "form/Layout.h"
#include "qt/FormSupport.h"
#include "surface/Palette.h"

#include <gtest/gtest.h>

#include <QApplication>

using namespace kestivo;
using test::onScreen;
using test::pictureOf;
using test::Shown;
using test::unpaced;

TEST(CanvasSize, AWindowLargerThanTheLayoutShowsTheBackgroundAndCostsNoPicture)
{
    Shown shown(unpaced());
    Form1& form = shown.form;
    form.session().click(layout::kCmdHwbk);
    test::waitShown(form);
    const QImage picture = pictureOf(form);
    const QSize start = form.size();
    ASSERT_EQ(picture.size(), start) << "the picture covers the window as it opens";

    form.resize(1500, 1100);
    QApplication::processEvents();
    EXPECT_EQ(form.picture().raster().width(), start.width());
    EXPECT_EQ(form.picture().raster().height(), start.height());
    const QImage shownNow = onScreen(form);
    ASSERT_EQ(shownNow.size(), QSize(1500, 1100));
    EXPECT_EQ(shownNow.copy(picture.rect()), picture);
    for (QPoint p : {QPoint(start.width(), 0), QPoint(0, start.height()), QPoint(1499, 1099)})
        EXPECT_EQ(shownNow.pixel(p), kBackground.argb()) << p.x() << "," << p.y();

    form.resize(start);
    QApplication::processEvents();
    EXPECT_EQ(onScreen(form), picture);
}
