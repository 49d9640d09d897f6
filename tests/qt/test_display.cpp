// The window on a real display server (run by with-display.sh under Xvfb
// with a window manager, and under weston): what the desktop uncovers,
// restores or enlarges while a pattern is drawn is repainted within a few
// frames, while drawing goes on, and the picture still ends exact. Counted
// in frames, not milliseconds, which a shared machine makes meaningless;
// bench_window records the times. The window manager's own keys stay its.

#include "qt/Canvas.h"
#include "support/Surfaces.h"
#include "qt/Form1.h"
#include "qt/FormSupport.h"
#include "patterns/Patterns.h"
#include "surface/RasterSurface.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

using namespace kestivo;
using namespace std::chrono_literals;
using Wall = std::chrono::steady_clock;

namespace {

// A quarter of a second of frames at 60 a second: time for the window
// manager's round trip and the repaint after it.
constexpr int kFewFrames = 15;

using test::enginePicture;
using test::pictureOf;

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool withWindowManager()
{
    return onX11() && !qEnvironmentVariableIsEmpty("KESTIVO_WINDOW_MANAGER");
}

// Paced at the real rate, as the user sees it.
struct Shown {
    explicit Shown(Form1::Options options = {}) : form(std::move(options))
    {
        form.show();
        form.activateWindow();
        // Generous: the first window of a run waits for a window manager
        // still starting on a loaded machine.
        constexpr int kShownMs = 20'000;
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form, kShownMs));
        // The window manager activates the window once it has framed it.
        if (withWindowManager()) {
            EXPECT_TRUE(QTest::qWaitForWindowActive(&form, kShownMs));
        }
    }
    Form1 form;
};

// What the screen shows of a widget's rectangle (X11: read back from the
// root window, so it is what a person would see).
QImage screenOf(QWidget* w, QRect r = {})
{
    if (r.isNull())
        r = w->rect();
    const QPoint at = w->mapToGlobal(r.topLeft());
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), r.width(), r.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The title block: the four labels' bounding rectangle in the window.
QRect titleBlock(Form1& form)
{
    QRect r;
    for (const char* l : {"Label4", "Label1", "Label2", "Label3"})
        r |= form.label(l)->geometry();
    return r;
}

double msSince(Wall::time_point t)
{
    return std::chrono::duration<double, std::milli>(Wall::now() - t).count();
}

// Calls tick about once a frame, from the event loop, until the routine
// being drawn is whole.
void whileDrawn(Form1& form, const std::function<void()>& tick)
{
    QTimer timer;
    timer.setInterval(Form1::kFrameIntervalMs);
    QObject::connect(&timer, &QTimer::timeout, tick);
    timer.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.drawing(); }, 60'000));
}

// Counts paint events reaching a widget, with the time of the last.
struct PaintWatch : QObject {
    explicit PaintWatch(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            ++paints;
            last = Wall::now();
        }
        return false;
    }
    int paints = 0;
    Wall::time_point last{};
};

} // namespace

TEST(LiveWindow, AnUncoveredTitleBlockIsRestoredWhileDrawingGoesOn)
{
    if (!onX11())
        GTEST_SKIP() << "needs a display whose pixels can be read back (X11)";
    Shown s;
    Form1& form = s.form;
    const QRect block = titleBlock(form);
    const QImage before = screenOf(&form, block);

    // Another application's window over the title block.
    QWidget cover(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::X11BypassWindowManagerHint);
    QPalette p = cover.palette();
    p.setColor(QPalette::Window, Qt::white);
    cover.setPalette(p);
    cover.setAutoFillBackground(true);
    cover.setGeometry(QRect(form.mapToGlobal(block.topLeft()), block.size()));
    cover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
    QTest::qWait(100);
    ASSERT_NE(screenOf(&form, block), before) << "the cover hides the title block";

    const auto start = Wall::now();
    std::optional<Wall::time_point> uncovered, restored;
    int framesAfter = 0;
    QTest::mouseClick(form.button("CmdSgxc"), Qt::LeftButton);
    whileDrawn(form, [&] {
        if (!uncovered && msSince(start) >= 300) {
            cover.hide();
            uncovered = Wall::now();
        } else if (uncovered && !restored) {
            ++framesAfter;
            if (screenOf(&form, block) == before)
                restored = Wall::now();
        }
    });
    const double took = msSince(start);

    ASSERT_TRUE(uncovered);
    ASSERT_TRUE(restored) << "still stale when the pattern ended, " << framesAfter << " frames on";
    const double restoredIn = std::chrono::duration<double, std::milli>(*restored - *uncovered).count();
    EXPECT_LE(framesAfter, kFewFrames) << "restored " << framesAfter << " frames after it was uncovered";
    EXPECT_GT(took, 1400) << "the pattern was drawn at its pace meanwhile";
    RecordProperty("restored_ms", int(restoredIn));
    EXPECT_EQ(pictureOf(form), enginePicture(form, {DrawSgxc}));
    QTest::qWait(50);
    EXPECT_EQ(screenOf(&form, block), before);
}

TEST(LiveWindow, MinimisedAndRestoredDuringDrawingShowsTheWholeWindowAgain)
{
    if (!withWindowManager())
        GTEST_SKIP() << "needs a window manager to minimise (X11 with openbox)";
    Shown s;
    Form1& form = s.form;
    const QRect block = titleBlock(form);
    const QRect buttons = form.button("CmdHwbk")->geometry() | form.button("CmdExit")->geometry();
    // The focus is shown, and goes to the button clicked: be where it goes.
    form.button("CmdSgxc")->setFocus();
    QTest::qWait(50);
    const QImage blockBefore = screenOf(&form, block);
    const QImage buttonsBefore = screenOf(&form, buttons);

    const auto start = Wall::now();
    std::optional<Wall::time_point> minimised, shownAgain, restored;
    int framesAfter = 0;
    QTest::mouseClick(form.button("CmdSgxc"), Qt::LeftButton);
    whileDrawn(form, [&] {
        framesAfter += shownAgain && !restored;
        if (!minimised && msSince(start) >= 200) {
            form.showMinimized();
            minimised = Wall::now();
        } else if (minimised && !shownAgain && msSince(*minimised) >= 300) {
            form.showNormal();
            form.activateWindow();
            shownAgain = Wall::now();
        } else if (shownAgain && !restored && form.isVisible() && !form.isMinimized() &&
                   screenOf(&form, block) == blockBefore &&
                   screenOf(&form, buttons) == buttonsBefore) {
            restored = Wall::now();
        }
    });
    ASSERT_TRUE(shownAgain);
    ASSERT_TRUE(restored) << "labels and buttons were not back before the pattern ended";
    const double restoredIn = std::chrono::duration<double, std::milli>(*restored - *shownAgain).count();
    EXPECT_LE(framesAfter, kFewFrames);
    RecordProperty("restored_ms", int(restoredIn));
    QTest::qWait(100);
    const QRect pane(80, 80, 90, 90); // the top-left window, frame and rose
    EXPECT_EQ(screenOf(&form, pane), enginePicture(form, {DrawSgxc}).copy(pane))
        << "the picture is on screen again";
}

TEST(LiveWindow, AreaGainedByMaximisingDuringDrawingIsPaintedWithinAFewFrames)
{
    if (onX11() && !withWindowManager())
        GTEST_SKIP() << "needs a window manager to maximise";
    Shown s;
    Form1& form = s.form;
    const QSize size = form.size();
    PaintWatch watch(&form.canvas());
    const auto start = Wall::now();
    std::optional<Wall::time_point> asked, resized, painted;
    QSize grown;
    int paintsBefore = 0, framesToSize = 0, framesToPaint = 0;
    // The desktop decides the new size and tells the window: on both
    // platforms that arrives as an event, which only a running loop sees.
    QTest::mouseClick(form.button("CmdHwbk"), Qt::LeftButton);
    whileDrawn(form, [&] {
        framesToSize += asked && !resized;
        framesToPaint += resized && !painted;
        if (!asked && msSince(start) >= 300) {
            paintsBefore = watch.paints;
            form.showMaximized();
            asked = Wall::now();
        } else if (asked && !painted && form.width() > size.width()) {
            if (!resized) {
                resized = Wall::now();
                grown = form.size();
            }
            if (watch.paints > paintsBefore && watch.last >= *resized) {
                bool green = true;
                if (onX11()) {
                    const QImage gained = screenOf(
                        &form, QRect(size.width(), 0, grown.width() - size.width(), size.height()));
                    for (int y = 0; y < gained.height() && green; y += 7)
                        for (int x = 0; x < gained.width() && green; x += 5)
                            green = gained.pixel(x, y) == qRgb(0, 128, 0);
                }
                if (green)
                    painted = Wall::now();
            }
        }
    });
    ASSERT_TRUE(asked);
    ASSERT_TRUE(resized) << "the window never took its new size while drawing";
    ASSERT_TRUE(painted) << "the gained area was not painted before the pattern ended";
    const double resizedIn = std::chrono::duration<double, std::milli>(*resized - *asked).count();
    const double paintedIn = std::chrono::duration<double, std::milli>(*painted - *resized).count();
    EXPECT_LE(framesToSize + framesToPaint, kFewFrames);
    EXPECT_LE(framesToPaint, 6) << "a few frames after the new size arrived";
    RecordProperty("painted_ms", int(resizedIn + paintedIn));
    const QImage border = enginePicture(form, {DrawHwbk});
    EXPECT_EQ(pictureOf(form).copy(border.rect()), border);
}

namespace {
bool xdotool(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), arguments);
    return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Waits until drawing has stopped and stays stopped a while.
void waitIdle(Form1& form)
{
    for (int quiet = 0; quiet < 10;) {
        QTest::qWait(50);
        quiet = form.drawing() ? 0 : quiet + 1;
    }
}
} // namespace

TEST(LiveWindow, AKeyHeldDownClicksOnce)
{
    if (!withWindowManager())
        GTEST_SKIP() << "needs X11 with a window manager, whose server repeats a held key";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "xdotool is not installed";
    test::BorderCounter* counter = nullptr;
    Form1::Options o;
    o.session.decorate = [&](DrawingSurface& screen) {
        auto c = std::make_unique<test::BorderCounter>(screen);
        counter = c.get();
        return c;
    };
    Shown s(o);
    Form1& form = s.form;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_EQ(QApplication::focusWidget(), form.button("CmdHwbk"));
    // Space clicks when it is let go; Enter when it goes down. Each held
    // for 3 s, the server repeating it meanwhile, also while drawing.
    for (const char* key : {"space", "Return"}) {
        SCOPED_TRACE(key);
        const int before = counter->borders;
        ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QString::fromLatin1(key)}));
        QTest::qWait(3000);
        ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QString::fromLatin1(key)}));
        waitIdle(form);
        EXPECT_EQ(counter->borders - before, 1);
    }
}

// Alt+F4 is the window manager's: it asks the window to close, at once when
// idle, at the next frame while a pattern is drawn (status 0 either way).
TEST(LiveWindow, AltF4ClosesTheWindowIdleOrDrawing)
{
    if (!withWindowManager())
        GTEST_SKIP() << "needs X11 with a window manager, which binds Alt+F4";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "xdotool is not installed";
    for (const bool drawing : {true, false}) {
        SCOPED_TRACE(drawing ? "drawing" : "idle");
        Shown s;
        ASSERT_TRUE(QTest::qWaitForWindowActive(&s.form));
        if (drawing)
            QTest::mouseClick(s.form.button("CmdSgxc"), Qt::LeftButton);
        const int status = test::exitStatus(
            [] { EXPECT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")})); }, drawing ? 10'000 : 2'000);
        EXPECT_EQ(status, drawing ? 0 : -1) << "idle, the window just closes";
        EXPECT_FALSE(s.form.isVisible());
        EXPECT_FALSE(s.form.drawing());
    }
}
