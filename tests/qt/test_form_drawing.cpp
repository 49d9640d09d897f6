// The window while it draws: failures outside the routine's own calls, the
// input rule by time stamps, and held keys.

#include "session/Layout.h"
#include "qt/Canvas.h"
#include "support/Surfaces.h"
#include "support/FakeClock.h"
#include "qt/Form1.h"
#include "qt/FormSupport.h"
#include "session/InputGate.h"
#include "patterns/Patterns.h"
#include "surface/RasterSurface.h"
#include "session/PacedSurface.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <new>

using namespace kestivo;

namespace {

using test::enginePicture;
using test::pictureOf;
using test::RecordingReporter;
using test::Shown;
using test::unpaced;

struct Ending {
    RecordingReporter reporter;
    int status = -1;
    Form1::Options options()
    {
        Form1::Options o = unpaced();
        o.reporter = &reporter;
        o.exit = [this](int s) { status = s; };
        return o;
    }
};

// Passes every call on and stamps the last one.
class Stamping final : public test::ForwardingSurface {
public:
    explicit Stamping(DrawingSurface& to) : ForwardingSurface(&to) {}
    std::uint32_t lastMs = 0;
    long long calls = 0;

private:
    Status handle(const test::Call& call) override
    {
        const Status s = forward(call);
        ++calls;
        if ((calls & 1023) == 0)
            lastMs = Form1::monotonicMs();
        return s;
    }
};

void click(QWidget* w, std::uint32_t stampMs)
{
    const QPointF c = QRectF(w->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, c, w->mapToGlobal(c), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, c, w->mapToGlobal(c), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    press.setTimestamp(stampMs);
    release.setTimestamp(stampMs);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

} // namespace

TEST(WindowFailures, APaintOrResizeFailureIsReportedOnceAndEndsWithStatusOne)
{
    // Idle: reported once the event is done with.
    {
        Ending e;
        Shown s(e.options());
        testing::internal::CaptureStderr();
        s.form.canvas().onFailure(std::make_exception_ptr(std::bad_alloc()));
        EXPECT_TRUE(s.form.ended()) << "nothing may start before the report";
        QTest::mouseClick(s.form.button("CmdHwbk"), Qt::LeftButton);
        QApplication::processEvents();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(e.reporter.reports, 1);
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(err.find("Kestivo1: "), std::string::npos);
        EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {}))
            << "the click given meanwhile did not draw";
    }
    // During a routine: the routine ends there, the cursor and state are
    // restored, and it is reported like a drawing failure.
    {
        Ending e;
        // Paced fast, so that the routine lasts a few frames however quickly
        // the engine works.
        Form1::Options o = e.options();
        o.session.pointsPerSecond = 10'000'000;
        Shown s(std::move(o));
        int frames = 0;
        s.form.surface().onFrame = [&] {
            if (++frames == 3)
                s.form.canvas().onFailure(std::make_exception_ptr(std::bad_alloc()));
        };
        testing::internal::CaptureStderr();
        QTest::mouseClick(s.form.button("CmdSgxc"), Qt::LeftButton);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(e.reporter.reports, 1);
        EXPECT_EQ(e.status, 1);
        EXPECT_FALSE(s.form.drawing());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_LE(frames, 4) << "the routine stopped at the failure";
    }
}

TEST(WindowFailures, AThrowFromTheLastFrameIsReportedAndRestoresTheWindow)
{
    Ending e;
    Form1::Options o = e.options();
    Stamping* stamping = nullptr;
    o.session.decorate = [&](DrawingSurface& screen) {
        auto st = std::make_unique<Stamping>(screen);
        stamping = st.get();
        return st;
    };
    Shown s(o);
    // Once CmdCls's one call has returned, the next frame is the routine's last.
    s.form.surface().onFrame = [&] {
        if (stamping->calls > 0)
            throw std::runtime_error("the last frame");
    };
    testing::internal::CaptureStderr();
    QTest::mouseClick(s.form.button("CmdCls"), Qt::LeftButton);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(stamping->calls, 1);
    EXPECT_EQ(e.reporter.reports, 1);
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(err.find("the last frame"), std::string::npos);
    EXPECT_FALSE(s.form.drawing());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(WindowFailures, NothingStartsWhileTheErrorBoxIsUp)
{
    Ending e;
    Form1::Options o = e.options();
    test::FaultySurface* faulty = nullptr;
    o.session.decorate = [&](DrawingSurface& screen) {
        auto f = std::make_unique<test::FaultySurface>(RecordingSurface::Op::PSet, 1000, &screen);
        faulty = f.get();
        return f;
    };
    struct Modal final : ErrorReporter {
        Form1* form = nullptr;
        QString message;
        void report(QWidget*, const QString&, const QString& text) override
        {
            message = text;
            // What a modal box's own event loop would deliver meanwhile.
            QMetaObject::invokeMethod(form, [this] { form->session().click(layout::kCmdHwbk); }, Qt::QueuedConnection);
            QCoreApplication::postEvent(form->button("CmdSgxc"),
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
            QApplication::processEvents();
        }
    } modal;
    o.reporter = &modal;
    Shown s(o);
    modal.form = &s.form;
    testing::internal::CaptureStderr();
    QTest::mouseClick(s.form.button("CmdHwty"), Qt::LeftButton);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(e.status, 1);
    EXPECT_TRUE(modal.message.contains(QStringLiteral("Form1.PSet"))) << "the box says what failed";
    const auto calls = faulty->calls();
    EXPECT_EQ(calls.size(), 1u + 1001u) << "DrawWidth, the PSets up to the failing one, nothing after";
    EXPECT_EQ(calls.back().op, RecordingSurface::Op::PSet);
}

TEST(InputRule, InputStampedBeforeTheLastDrawingCallNeverRunsHoweverLateItArrives)
{
    Form1::Options o = unpaced();
    Stamping* stamping = nullptr;
    o.session.decorate = [&](DrawingSurface& screen) {
        auto st = std::make_unique<Stamping>(screen);
        stamping = st.get();
        return st;
    };
    Shown s(o);
    // Clicks at every frame, right up to the end, stamped as they are given.
    s.form.surface().onFrame = [&] {
        for (const char* b : {"CmdCls", "CmdSgxc", "CmdExit"})
            click(s.form.button(b), Form1::monotonicMs());
    };
    QTest::mouseClick(s.form.button("CmdHwty"), Qt::LeftButton);
    s.form.surface().onFrame = nullptr;
    const std::uint32_t last = stamping->lastMs;
    const long long calls = stamping->calls;
    ASSERT_GT(last, 0u);

    // Arriving only now, but given before the last drawing call: discarded.
    click(s.form.button("CmdCls"), last);
    click(s.form.button("CmdExit"), last - 5);
    EXPECT_EQ(stamping->calls, calls);
    EXPECT_FALSE(s.form.ended());
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {DrawHwty}));

    // Given after it: runs.
    click(s.form.button("CmdCls"), Form1::monotonicMs() + 1);
    EXPECT_EQ(stamping->calls, calls + 1);
    // Stamps that do not follow this machine's clock are not judged by it.
    click(s.form.button("CmdCls"), 1);
    EXPECT_EQ(stamping->calls, calls + 2);
}

TEST(InputRule, HeldEnterClicksOnceAndExitIsRefusedWhileDrawing)
{
    Shown s;
    QWidget* focus = QApplication::focusWidget();
    ASSERT_EQ(focus, s.form.button("CmdHwbk"));
    int frames = 0;
    s.form.surface().onFrame = [&] {
        ++frames;
        s.form.session().click(layout::kCmdExit);
    };
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(focus, &press);
    const int once = frames;
    EXPECT_GT(once, 0);
    EXPECT_FALSE(s.form.ended()) << "exit during drawing was refused";
    s.form.surface().onFrame = [&] { ++frames; };
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(focus, &repeat);
    }
    EXPECT_EQ(frames, once) << "auto-repeat does not run the pattern again";
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
    send(QEvent::KeyRelease, stamp + 40, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.form.settlingKeys(); }));
    EXPECT_EQ(routines, 1);
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {DrawHwbk}));
}
