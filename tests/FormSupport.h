#pragma once

// Helpers shared by the window tests.

#include "Canvas.h"
#include "ErrorReport.h"
#include "Form1.h"
#include "RasterSurface.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <initializer_list>

namespace kestivo::test {

// Drawing at full speed, and ending the program does nothing but record.
inline Form1::Options unpaced()
{
    Form1::Options o;
    o.pointsPerSecond = 0;
    o.exit = [](int) {};
    return o;
}

// A shown, active window, as the user meets it.
struct Shown {
    explicit Shown(Form1::Options options = unpaced()) : form(std::move(options))
    {
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        QApplication::processEvents();
    }
    Form1 form;
};

// An engine raster surface of the same size and scale as the window's.
inline RasterSurface engineLike(const Form1& form)
{
    const QImage& screen = form.canvas().raster().image();
    return RasterSurface(screen.width(), screen.height(),
                         1440.0 / form.canvas().raster().scale().twipsPerPixel());
}

// The engine's own picture of the given routines at the window's scale.
inline QImage enginePicture(const Form1& form,
                            std::initializer_list<void (*)(DrawingSurface&)> routines)
{
    RasterSurface engine = engineLike(form);
    for (auto r : routines)
        r(engine);
    return engine.snapshot();
}

// What the canvas shows on screen.
inline QImage onScreen(Form1& form)
{
    return form.canvas().grab().toImage().convertToFormat(QImage::Format_RGB32);
}

struct RecordingReporter final : ErrorReporter {
    void report(QWidget*, const QString& t, const QString& m) override
    {
        title = t;
        message = m;
        ++reports;
    }
    QString title, message;
    int reports = 0;
};

} // namespace kestivo::test
