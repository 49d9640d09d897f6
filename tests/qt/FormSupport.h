#pragma once

// Helpers shared by the window tests.

#include "qt/Canvas.h"
#include "qt/ErrorReport.h"
#include "qt/Form1.h"
#include "support/Surfaces.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <cstdint>
#include <functional>
#include <initializer_list>

namespace kestivo::test {

// Each routine shown whole at the next frame, and ending the program does
// nothing but record.
inline Form1::Options unpaced()
{
    Form1::Options o;
    o.session.pointsPerSecond = 0;
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

// Until the routine being shown is whole on the picture (the next frame,
// unpaced), the frame clock then stopped.
inline void waitShown(const Form1& form)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.drawing(); }, 30'000));
}

// A click as the user gives it, and its routine waited for.
inline void clickShown(Form1& form, const char* button)
{
    QTest::mouseClick(form.button(button), Qt::LeftButton);
    waitShown(form);
}

// The left button pressed or let go at the middle of w, stamped stampMs.
inline void sendMouse(QWidget* w, QEvent::Type type, std::uint32_t stampMs)
{
    const QPointF c = QRectF(w->rect()).center();
    QMouseEvent e(type, c, w->mapToGlobal(c), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    e.setTimestamp(stampMs);
    QApplication::sendEvent(w, &e);
}

// A key typed on the focused widget, as a person would: pressed, released,
// and the moment after in which the window tells the release from a
// repeat's and delivers it.
inline void typeKey(const Form1& form, Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.settlingKeys(); }));
}

inline QImage toImage(const Pixels& p)
{
    QImage image(p.width(), p.height(), QImage::Format_RGB32);
    for (int y = 0; y < p.height(); ++y)
        std::copy_n(p.data() + std::size_t(y) * std::size_t(p.width()), p.width(),
                    reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
    return image;
}

// The window's picture, all of it.
inline QImage pictureOf(const Form1& form)
{
    return toImage(form.picture().raster().snapshot());
}

// An engine raster surface of the same size and scale as the window's.
inline RasterSurface engineLike(const Form1& form)
{
    return rasterLike(form.picture().raster());
}

// The engine's own picture of the given routines at the window's scale.
inline QImage enginePicture(const Form1& form, std::initializer_list<Routine> routines)
{
    return toImage(test::enginePicture(form.picture().raster(), routines));
}

// What the canvas shows on screen.
inline QImage onScreen(Form1& form)
{
    return form.canvas().grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Counts the borders begun: each starts with its pen of 2.
class BorderCounter final : public ForwardingSurface {
public:
    explicit BorderCounter(DrawingSurface& to) : ForwardingSurface(&to) {}
    int borders = 0;

private:
    Status handle(const Call& call) override
    {
        borders += call.op == Op::DrawWidth && call.width == 2;
        return forward(call);
    }
};

// Records each report; the user dismisses it at once, or when the test
// says (dismiss()).
struct RecordingReporter final : ErrorReporter {
    void report(QWidget*, const QString& t, const QString& m, std::function<void()> dismissed) override
    {
        title = t;
        message = m;
        ++reports;
        if (atOnce)
            dismissed();
        else
            dismiss = std::move(dismissed);
    }
    QString title, message;
    int reports = 0;
    bool atOnce = true;
    std::function<void()> dismiss;
};

} // namespace kestivo::test
