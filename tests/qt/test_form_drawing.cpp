// The window while it draws: failures and their report, the input rule by
// time stamps, and held keys.

#include "form/Layout.h"
#include "qt/Canvas.h"
#include "support/Surfaces.h"
#include "qt/Form1.h"
#include "qt/FormSupport.h"
#include "patterns/Patterns.h"
#include "surface/RasterSurface.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <new>

using namespace kestivo;

namespace {

using test::enginePicture;
using test::pictureOf;
using test::Shown;
using test::unpaced;
using test::waitShown;

// Passes every call on and counts them: a routine that ran.
class Counting final : public test::ForwardingSurface {
public:
    explicit Counting(DrawingSurface& to) : ForwardingSurface(&to) {}
    long long calls = 0;

private:
    Status handle(const test::Call& call) override
    {
        ++calls;
        return forward(call);
    }
};

void click(QWidget* w, std::uint32_t stampMs)
{
    test::sendMouse(w, QEvent::MouseButtonPress, stampMs);
    test::sendMouse(w, QEvent::MouseButtonRelease, stampMs);
}

} // namespace

// A failure of the window's own (a paint, a resize), idle or during a
// routine: the report comes at the next frame without holding up the event
// loop, nothing starts meanwhile, and the program ends with status 1 once
// the user has dismissed it, the window restored.
TEST(WindowFailures, AFailureIsReportedOnceWithoutWaitingAndEndsWithStatusOneWhenDismissed)
{
    for (const bool drawing : {false, true}) {
        SCOPED_TRACE(drawing ? "during a routine" : "idle");
        Form1::Options o = unpaced();
        o.session.pointsPerSecond = 10'000'000; // a few frames
        Shown s(std::move(o));
        if (drawing)
            QTest::mouseClick(s.form.button("CmdSgxc"), Qt::LeftButton);
        testing::internal::CaptureStderr();
        s.form.session().fail(std::make_exception_ptr(std::bad_alloc()));
        s.form.session().fail(std::make_exception_ptr(std::bad_alloc())); // only the first counts
        EXPECT_TRUE(s.form.ended()) << "nothing may start before the report";
        QMessageBox* box = test::waitForErrorBox(s.form);
        QTest::mouseClick(s.form.button("CmdHwbk"), Qt::LeftButton);
        QTest::qWait(50);
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_NE(box, nullptr);
        EXPECT_NE(err.find("Kestivo1: "), std::string::npos);
        EXPECT_EQ(test::errorBoxes(s.form).size(), 1);
        EXPECT_TRUE(s.form.isVisible()) << "the report is still up, and the program";
        EXPECT_FALSE(s.form.drawing());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(s.form.framesRunning());
        if (!drawing) {
            EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {})) << "the click given meanwhile did not draw";
        }
        EXPECT_EQ(test::exitStatus([&] { QTest::keyClick(box, Qt::Key_Escape); }), 1);
    }
}

// The program's own report: a message box that the event loop goes on
// around, its dismissal ending the program with status 1.
TEST(WindowFailures, TheErrorBoxLetsTheEventLoopRunAndItsDismissalEnds)
{
    Shown s;
    testing::internal::CaptureStderr();
    s.form.session().fail(std::make_exception_ptr(std::runtime_error("a paint could not allocate")));
    QMessageBox* box = test::waitForErrorBox(s.form);
    (void)testing::internal::GetCapturedStderr();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Kestivo1"));
    EXPECT_TRUE(box->text().contains(QStringLiteral("a paint could not allocate"))) << box->text().toStdString();
    EXPECT_TRUE(s.form.isVisible()) << "the program goes on while the box is up";
    EXPECT_EQ(test::exitStatus([&] { QTest::keyClick(box, Qt::Key_Escape); }), 1);
}

TEST(WindowFailures, NothingStartsWhileTheErrorBoxIsUp)
{
    Form1::Options o = unpaced();
    test::FaultySurface* faulty = nullptr;
    o.session.decorate = [&](DrawingSurface& screen) {
        auto f = std::make_unique<test::FaultySurface>(RecordingSurface::Op::PSet, 1000, &screen);
        faulty = f.get();
        return f;
    };
    Shown s(o);
    testing::internal::CaptureStderr();
    QTest::mouseClick(s.form.button("CmdHwty"), Qt::LeftButton);
    QMessageBox* box = test::waitForErrorBox(s.form);
    // What the event loop delivers while the box is up.
    s.form.session().click(layout::kCmdHwbk);
    QTest::keyClick(s.form.button("CmdSgxc"), Qt::Key_Space);
    QTest::qWait(50);
    testing::internal::GetCapturedStderr();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QStringLiteral("Form1.PSet"))) << "the box says what failed";
    const auto calls = faulty->calls();
    EXPECT_EQ(calls.size(), 1u + 1001u) << "DrawWidth, the PSets up to the failing one, nothing after";
    EXPECT_EQ(calls.back().op, RecordingSurface::Op::PSet);
    EXPECT_EQ(test::exitStatus([&] { QTest::keyClick(box, Qt::Key_Escape); }), 1);
}

TEST(InputRule, InputStampedBeforeTheEndOfTheRevealNeverRunsHoweverLateItArrives)
{
    Form1::Options o = unpaced();
    o.session.pointsPerSecond = 10'000'000; // a few frames
    Counting* counting = nullptr;
    o.session.decorate = [&](DrawingSurface& screen) {
        auto c = std::make_unique<Counting>(screen);
        counting = c.get();
        return c;
    };
    Shown s(o);
    QTest::mouseClick(s.form.button("CmdHwty"), Qt::LeftButton);
    // Given while the pattern is shown, right up to its end.
    std::uint32_t given = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        if (s.form.drawing())
            given = Form1::monotonicMs();
        return !s.form.drawing();
    }));
    ASSERT_GT(given, 0u);
    const long long calls = counting->calls;

    // Arriving only now, but given before the end: discarded.
    click(s.form.button("CmdCls"), given);
    click(s.form.button("CmdExit"), given - 5);
    EXPECT_EQ(counting->calls, calls);
    EXPECT_FALSE(s.form.ended());
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {DrawHwty}));

    // Given after it: runs.
    click(s.form.button("CmdCls"), Form1::monotonicMs() + 1);
    EXPECT_EQ(counting->calls, calls + 1);
    waitShown(s.form);
    // Stamps that do not follow this machine's clock are not judged by it.
    click(s.form.button("CmdCls"), 1);
    EXPECT_EQ(counting->calls, calls + 2);
    waitShown(s.form);
}

TEST(InputRule, HeldEnterClicksOnceAndExitIsRefusedWhileDrawing)
{
    test::BorderCounter* counter = nullptr;
    Form1::Options o = unpaced();
    o.session.pointsPerSecond = 10'000'000; // a few frames
    o.session.decorate = [&](DrawingSurface& screen) {
        auto c = std::make_unique<test::BorderCounter>(screen);
        counter = c.get();
        return c;
    };
    Shown s(o);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_EQ(focus, s.form.button("CmdHwbk"));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(focus, &press);
    EXPECT_EQ(counter->borders, 1);
    ASSERT_TRUE(s.form.drawing());
    QTest::mouseClick(s.form.button("CmdExit"), Qt::LeftButton);
    EXPECT_FALSE(s.form.ended()) << "exit during drawing was refused";
    // Repeats, during the drawing and after it.
    for (int i = 0; i < 6; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(focus, &repeat);
        if (i == 2)
            waitShown(s.form);
    }
    EXPECT_EQ(counter->borders, 1) << "auto-repeat does not run the pattern again";
    EXPECT_FALSE(s.form.drawing());
}

TEST(InputRule, HeldSpaceClicksOnceWhateverFormItsRepeatsTake)
{
    test::BorderCounter* counter = nullptr;
    Form1::Options o = unpaced();
    o.session.decorate = [&](DrawingSurface& screen) {
        auto c = std::make_unique<test::BorderCounter>(screen);
        counter = c.get();
        return c;
    };
    Shown s(o);
    const int& routines = counter->borders;
    QWidget* focus = QApplication::focusWidget();
    ASSERT_EQ(focus, s.form.button("CmdHwbk"));
    const auto send = [&](QEvent::Type type, std::uint32_t stamp, bool flagged) {
        QKeyEvent e(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), flagged);
        e.setTimestamp(stamp);
        QApplication::sendEvent(focus, &e);
    };
    std::uint32_t stamp = Form1::monotonicMs();
    send(QEvent::KeyPress, stamp, false);
    // X11's repeats, unflagged: release and press at one stamp, the press
    // reaching the program a turn of the event loop after the release.
    for (int i = 0; i < 5; ++i) {
        stamp += 40;
        send(QEvent::KeyRelease, stamp, false);
        QApplication::processEvents();
        send(QEvent::KeyPress, stamp, false);
        // Wayland's and the detectable kind: flagged, or presses alone.
        send(QEvent::KeyRelease, stamp, true);
        send(QEvent::KeyPress, stamp, true);
        send(QEvent::KeyPress, stamp, false);
    }
    EXPECT_EQ(routines, 0) << "a held Space clicks when it is let go";
    EXPECT_TRUE(s.form.button("CmdHwbk")->isDown()) << "and shows the button pushed in meanwhile";
    send(QEvent::KeyRelease, stamp + 40, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.form.settlingKeys(); }));
    EXPECT_EQ(routines, 1);
    EXPECT_FALSE(s.form.button("CmdHwbk")->isDown());
    waitShown(s.form);
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {DrawHwbk}));
}
