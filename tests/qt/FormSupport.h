#pragma once

// Helpers shared by the window tests.

#include "qt/Canvas.h"
#include "qt/Form1.h"
#include "support/Surfaces.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <initializer_list>

namespace kestivo::test {

// Each routine shown whole at the next frame.
inline Form1::Options unpaced()
{
    Form1::Options o;
    o.session.pointsPerSecond = 0;
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
inline void typeKey(const Form1& form, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
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

// Runs act in the application's event loop, as the program runs it, and
// returns the status the window ends that loop with; -1 if it has not ended
// within timeoutMs.
inline int exitStatus(const std::function<void()>& act, int timeoutMs = 10'000)
{
    QTimer start, timeout;
    start.setSingleShot(true);
    timeout.setSingleShot(true);
    QObject::connect(&start, &QTimer::timeout, act);
    QObject::connect(&timeout, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    start.start(0);
    timeout.start(timeoutMs);
    return QApplication::exec();
}

// The window's error boxes (each deleted once dismissed).
inline QList<QMessageBox*> errorBoxes(const Form1& form)
{
    return form.findChildren<QMessageBox*>();
}

// The window's error box, once it is up; nullptr if none comes.
inline QMessageBox* waitForErrorBox(const Form1& form)
{
    QMessageBox* box = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box != nullptr && box->parent() == &form;
    }));
    return box;
}

} // namespace kestivo::test
