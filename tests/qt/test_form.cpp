// The window on the offscreen platform: layout, texts, fonts, focus, the
// commands, what reaches the screen, input during drawing and run-time errors.

#include "qt/Canvas.h"
#include "support/Surfaces.h"
#include "qt/FormSupport.h"
#include "qt/Form1.h"
#include "qt/TitleLabel.h"
#include "patterns/Patterns.h"
#include "session/Pace.h"
#include "surface/RasterSurface.h"
#include "qt/ShapeFrame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QRawFont>
#include <QLabel>
#include <QPainter>
#include <QTextLayout>
#include <QPushButton>
#include <QTest>

#include <QBackingStore>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>


using namespace kestivo;

namespace {

using test::clickShown;
using test::enginePicture;
using test::pictureOf;
using test::onScreen;
using test::Shown;
using test::unpaced;
using test::waitShown;

std::string name(const QWidget* w)
{
    return w ? w->objectName().toStdString() : "(none)";
}

} // namespace

TEST(Form1Layout, EveryControlSitsWhereTheDesignPutsIt)
{
    Form1 form(unpaced());
    struct Expect {
        const char* name;
        int left, top, width, height;
    };
    const Expect controls[] = {
        {"CmdHwbk", 3360, 7560, 1095, 375}, {"CmdHwty", 4680, 7560, 975, 375},
        {"CmdSgxc", 5880, 7560, 975, 375},  {"CmdCls", 7080, 7560, 975, 375},
        {"CmdExit", 8280, 7560, 975, 375},  {"Label4", 5040, 3000, 2175, 375},
        {"Label1", 4320, 3720, 3375, 495},  {"Label2", 4560, 4560, 2775, 375},
        {"Label3", 5400, 5160, 1215, 375},  {"Shape1", 120, 120, 11775, 8055},
    };
    const double tpp = form.layoutScale().twipsPerPixel();
    EXPECT_EQ(tpp, 15.0);
    for (const Expect& c : controls) {
        SCOPED_TRACE(c.name);
        const auto* w = form.findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr);
        const QRect g = w->geometry();
        EXPECT_EQ(g.x() * tpp, c.left);
        EXPECT_EQ(g.y() * tpp, c.top);
        EXPECT_EQ(g.width() * tpp, c.width);
        EXPECT_EQ(g.height() * tpp, c.height);
    }
    // Opens large enough for the whole layout and the border box.
    EXPECT_GE(form.width() * tpp, 11950);
    EXPECT_GE(form.height() * tpp, 8220);
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("VB 图形程序设计 QuarnholtTavisko 2007.1."));
}

TEST(Form1Layout, TextsColoursAndFonts)
{
    Form1 form(unpaced());
    const std::pair<const char*, const char*> buttons[] = {
        {"CmdHwbk", "花纹边框"}, {"CmdHwty", "花纹椭圆"}, {"CmdSgxc", "四个小窗"},
        {"CmdCls", "清除"},      {"CmdExit", "退出"},
    };
    for (auto [n, text] : buttons)
        EXPECT_EQ(form.button(n)->text(), QString::fromUtf8(text)) << n;

    struct Expect {
        const char* name;
        const char* text;
        QRgb colour;
        double size;
    };
    const Expect labels[] = {
        {"Label4", "Visual Basic", qRgb(255, 0, 255), 15.75},
        {"Label1", "图形程序设计", qRgb(255, 255, 0), 26.25},
        {"Label2", "程序设计：Tavisko", qRgb(0, 255, 0), 15.75},
        {"Label3", "2007.1.", qRgb(0, 192, 192), 15.75},
    };
    const bool kaiInstalled = QFontDatabase::families().contains(QStringLiteral("AR PL UKai CN"));
    for (const Expect& e : labels) {
        SCOPED_TRACE(e.name);
        const QLabel* l = form.label(e.name);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->text(), QString::fromUtf8(e.text));
        EXPECT_EQ(l->palette().color(QPalette::WindowText).rgb(), e.colour);
        EXPECT_EQ(l->palette().color(QPalette::Window).rgb(), qRgb(0, 0, 0));
        EXPECT_TRUE(l->autoFillBackground()) << "an opaque black box";
        EXPECT_EQ(l->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        EXPECT_FALSE(l->wordWrap());
        EXPECT_EQ(l->font().pointSizeF(), e.size);
        EXPECT_TRUE(l->font().bold());
        EXPECT_FALSE(l->font().italic() || l->font().underline() || l->font().strikeOut());
        const QString resolved = QFontInfo(l->font()).family();
        if (kaiInstalled) {
            EXPECT_TRUE(resolved.contains(QStringLiteral("Kai"))) << resolved.toStdString();
        }
    }
    if (!kaiInstalled)
        GTEST_SKIP() << "fonts-arphic-ukai is not installed: the Kai face was not checked";
}

namespace {
// The light a label's box gives off, of its colour on black.
double ink(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum / (255.0 * image.width() * image.height());
}

QImage canvasAt(QSize size, double scale)
{
    QImage image((QSizeF(size) * scale).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::black);
    return image;
}
} // namespace

TEST(Form1Layout, TheTitleBlockIsBoldAtEveryScale)
{
    Form1 form(unpaced());
    for (const char* name : {"Label4", "Label1", "Label2", "Label3"}) {
        QLabel* l = form.label(name);
        std::vector<double> ratios;
        for (double scale : {1.0, 1.5, 2.0}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(scale));
            QImage shown = canvasAt(l->size(), scale);
            l->render(&shown);
            // The same face's regular weight, as the font system draws it.
            QImage regular = canvasAt(l->size(), scale);
            QPainter painter(&regular);
            QFont font = l->font();
            font.setWeight(QFont::Normal);
            painter.setFont(font);
            painter.setPen(l->palette().color(QPalette::WindowText));
            painter.drawText(QRectF(l->contentsRect()), Qt::AlignLeft | Qt::AlignTop, l->text());
            painter.end();
            ratios.push_back(ink(shown) / ink(regular));
            EXPECT_GT(ratios.back(), 1.5) << "as heavy as a bold weight";
        }
        const auto [least, most] = std::minmax_element(ratios.begin(), ratios.end());
        EXPECT_LT(*most / *least, 1.15) << name << ": the same weight at every scale";
    }
}

TEST(Form1Layout, EachLabelsTextIsWholeInItsBox)
{
    Form1 form(unpaced());
    for (const char* name : {"Label4", "Label1", "Label2", "Label3"}) {
        const QLabel* l = form.label(name);
        // The label's text in a box twice as tall: nothing below its own.
        TitleLabel tall(l->text(), nullptr);
        tall.setFont(l->font());
        tall.setPalette(l->palette());
        tall.resize(l->width(), 2 * l->height());
        for (double scale : {1.0, 1.5, 2.0}) {
            QImage shown = canvasAt(tall.size(), scale);
            tall.render(&shown);
            const QImage below = shown.copy(0, int(l->height() * scale), shown.width(), shown.height() / 2);
            // No more than the antialiased edge of a descender and its emboldening.
            EXPECT_LT(ink(below) / ink(shown), 0.005) << name << " at " << scale;
        }
    }
}

TEST(Form1Layout, ButtonsAreDrawnInASongFaceAtNinePoints)
{
    Form1 form(unpaced());
    const bool mingInstalled = QFontDatabase::families().contains(QStringLiteral("AR PL UMing CN"));
    for (const char* name : {"CmdHwbk", "CmdHwty", "CmdSgxc", "CmdCls", "CmdExit"}) {
        SCOPED_TRACE(name);
        const QPushButton* b = form.button(name);
        EXPECT_EQ(b->font().pointSize(), 9);
        if (!mingInstalled)
            continue;
        EXPECT_TRUE(QFontInfo(b->font()).family().contains(QStringLiteral("Ming")))
            << QFontInfo(b->font()).family().toStdString();
        // The face the glyphs come from: fontconfig may fall back per script
        // (to a Kai face) although the font resolves to a Ming family.
        QTextLayout text(b->text(), b->font());
        text.beginLayout();
        text.createLine();
        text.endLayout();
        const QList<QGlyphRun> runs = text.glyphRuns();
        EXPECT_FALSE(runs.isEmpty());
        for (const QGlyphRun& run : runs)
            EXPECT_TRUE(run.rawFont().familyName().contains(QStringLiteral("Ming")))
                << run.rawFont().familyName().toStdString();
    }
    if (!mingInstalled)
        GTEST_SKIP() << "fonts-arphic-uming is not installed: the Ming face was not checked";
}

TEST(Form1Layout, FrameIsBlueAndStacksBetweenPictureAndControls)
{
    Shown s;
    EXPECT_EQ(s.form.shape()->borderColour(), QColor(0, 0, 255));
    const QImage shot = s.form.grab().toImage();
    EXPECT_EQ(shot.pixel(8, 100), qRgb(0, 0, 255)) << "left side of the frame";
    EXPECT_EQ(shot.pixel(100, 8), qRgb(0, 0, 255)) << "top of the frame";
    EXPECT_EQ(shot.pixel(100, 100), qRgb(0, 128, 0)) << "the green shows through";
    // Label4's black box (from 336, 200) covers the picture.
    EXPECT_EQ(shot.pixel(478, 222), qRgb(0, 0, 0));
}

TEST(Form1Keyboard, FocusStartsOnBorderAndTabFollowsTheTabIndex)
{
    Shown s;
    EXPECT_EQ(name(QApplication::focusWidget()), "CmdHwbk");
    const char* order[] = {"CmdCls", "CmdExit", "CmdSgxc", "CmdHwty", "CmdHwbk"};
    for (const char* next : order) {
        test::typeKey(s.form, Qt::Key_Tab);
        EXPECT_EQ(name(QApplication::focusWidget()), next);
    }
    test::typeKey(s.form, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(name(QApplication::focusWidget()), "CmdHwty") << "Shift+Tab goes back";
}

TEST(Form1Keyboard, TheFocusIsShownFromTheStartAndAfterAClick)
{
    Shown s;
    QWidget* border = s.form.button("CmdHwbk");
    QWidget* cls = s.form.button("CmdCls");
    const QImage borderFocused = border->grab().toImage();
    const QImage clsUnfocused = cls->grab().toImage();
    test::clickShown(s.form, "CmdCls"); // clears nothing, moves the focus
    ASSERT_EQ(QApplication::focusWidget(), cls);
    EXPECT_NE(border->grab().toImage(), borderFocused) << "the focus was not shown at start";
    EXPECT_NE(cls->grab().toImage(), clsUnfocused) << "the focus is not shown after a click";
}

TEST(Form1Commands, SpaceAtStartDrawsTheBorderAndEnterClicksTheFocusedButton)
{
    Shown s;
    test::typeKey(s.form, Qt::Key_Space);
    waitShown(s.form);
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {DrawHwbk}));

    test::typeKey(s.form, Qt::Key_Tab); // to CmdCls
    test::typeKey(s.form, Qt::Key_Return);
    waitShown(s.form);
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {}));
}

TEST(Form1Commands, PatternsOverlayOnScreenAndClsRestoresTheStartPicture)
{
    Shown s;
    // The focus is shown, and goes to a button clicked: be where it goes.
    s.form.button("CmdCls")->setFocus();
    QApplication::processEvents();
    const QImage startWindow = s.form.grab().toImage();
    const QImage startCanvas = onScreen(s.form);

    clickShown(s.form, "CmdCls");
    EXPECT_EQ(s.form.grab().toImage(), startWindow) << "Cls on an empty surface changes nothing";

    clickShown(s.form, "CmdHwbk");
    const QImage border = enginePicture(s.form, {DrawHwbk});
    EXPECT_EQ(onScreen(s.form), border.copy(s.form.canvas().rect()));

    clickShown(s.form, "CmdHwty");
    clickShown(s.form, "CmdSgxc");
    const QImage all = enginePicture(s.form, {DrawHwbk, DrawHwty, DrawSgxc});
    EXPECT_EQ(pictureOf(s.form), all);
    EXPECT_EQ(onScreen(s.form), all.copy(s.form.canvas().rect())) << "what the screen shows";

    clickShown(s.form, "CmdCls");
    EXPECT_EQ(onScreen(s.form), startCanvas);
    EXPECT_EQ(s.form.grab().toImage(), startWindow) << "controls untouched, drawing gone";
}

TEST(Form1Commands, ExitEndsWithStatusZero)
{
    Shown s;
    clickShown(s.form, "CmdHwbk");
    const int status = test::exitStatus([&] { QTest::mouseClick(s.form.button("CmdExit"), Qt::LeftButton); });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(s.form.ended());
    EXPECT_FALSE(s.form.isVisible());
}

namespace {

Form1::Options paced(double pointsPerSecond = Pace::kPointsPerSecond)
{
    Form1::Options o = unpaced();
    o.session.pointsPerSecond = pointsPerSecond;
    return o;
}

// Where the picture is seen in the window: the canvas less the controls over
// it, and a pixel around each, where scaled edges round.
QRegion pictureSeen(const Form1& form)
{
    QRegion seen(form.canvas().geometry());
    for (const QWidget* w : form.findChildren<const QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect g = w->geometry().adjusted(-1, -1, 1, 1);
        if (w == form.shape())
            seen -= QRegion(g) - QRegion(g.adjusted(3, 3, -3, -3)); // a frame, no more
        else if (w != &form.canvas())
            seen -= g;
    }
    return seen;
}

// image, in device pixels, where the picture is seen; black elsewhere.
QImage masked(const Form1& form, const QImage& image, double scale)
{
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::black);
    for (const QRect& r : pictureSeen(form)) {
        const QRect device = QRect(QPoint(int(std::ceil(r.left() * scale)), int(std::ceil(r.top() * scale))),
                                   QPoint(int((r.right() + 1) * scale) - 1, int((r.bottom() + 1) * scale) - 1)) &
                             image.rect();
        for (int y = device.top(); y <= device.bottom(); ++y)
            for (int x = device.left(); x <= device.right(); ++x)
                out.setPixel(x, y, image.pixel(x, y) | 0xFF000000u);
    }
    return out;
}

// What the screen shows of the picture: the window's backing store, where
// the window's own paints land.
QImage onWindow(Form1& form, QSize size)
{
    const auto* store = dynamic_cast<const QImage*>(form.backingStore()->paintDevice());
    if (!store)
        return {};
    return masked(form, store->copy(QRect(QPoint(0, 0), size)), store->devicePixelRatio());
}

QSize deviceSize(const Form1& form)
{
    return {form.picture().raster().width(), form.picture().raster().height()};
}

// The picture as the window should show it.
QImage expected(const Form1& form, std::initializer_list<Routine> routines)
{
    return masked(form, enginePicture(form, routines), form.picture().scale());
}

struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

} // namespace

// At the window's own scale (QT_SCALE_FACTOR runs these again at others):
// the screen shows the engine's pixels, through the window's paint and
// through a grab; a picture left at another scale is brought back to the
// window's at its next paint, exactly.
TEST(Form1Scale, TheScreenShowsTheEnginesPixelsAtTheWindowsScale)
{
    Shown s;
    Form1& form = s.form;
    const double scale = form.devicePixelRatioF();
    ASSERT_EQ(form.picture().scale(), scale);
    const QSize device = deviceSize(form);
    for (const char* b : {"CmdHwbk", "CmdHwty", "CmdSgxc"})
        clickShown(form, b);
    const QImage all = enginePicture(form, {DrawHwbk, DrawHwty, DrawSgxc});
    EXPECT_EQ(pictureOf(form), all);
    QApplication::processEvents();
    EXPECT_EQ(onWindow(form, device), expected(form, {DrawHwbk, DrawHwty, DrawSgxc}));
    const QImage grabbed = onScreen(form);
    EXPECT_EQ(grabbed, all.copy(grabbed.rect())) << "a grab's pixmap takes the painter's path";

    form.session().rescale(scale == 2 ? 1 : 2); // drawn for another screen
    ASSERT_NE(form.picture().scale(), scale);
    form.canvas().repaint();
    EXPECT_EQ(form.picture().scale(), scale) << "the paint told the session the window's scale";
    EXPECT_EQ(pictureOf(form), all);
    QApplication::processEvents();
    EXPECT_EQ(onWindow(form, device), expected(form, {DrawHwbk, DrawHwty, DrawSgxc}));
}

// Frames come from the event loop while the pattern is revealed, about 60 a
// second at a million points a second, and stop once it is whole.
TEST(Form1Drawing, APacedDrawingReachesTheScreenFrameByFrame)
{
    Shown s(paced());
    Form1& form = s.form;
    const QSize device = deviceSize(form);
    const QImage start = onWindow(form, device);
    PaintCounter counter(&form.canvas());
    const auto t0 = std::chrono::steady_clock::now();
    QTest::mouseClick(form.button("CmdHwbk"), Qt::LeftButton);
    ASSERT_TRUE(form.drawing());
    EXPECT_TRUE(form.framesRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return onWindow(form, device) != start; }, 10'000));
    EXPECT_TRUE(form.drawing()) << "the screen changed while the pattern was drawn";
    waitShown(form);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // 999,156 points, the first frame's share at once: loose bounds, for a
    // shared machine; bench_window has the figures.
    EXPECT_GT(seconds, 0.95);
    EXPECT_LT(seconds, 20.0);
    EXPECT_GE(counter.paints, 20) << "in " << seconds << " s";
    EXPECT_FALSE(form.framesRunning()) << "an idle window takes no frames";
    QApplication::processEvents(); // the last frame's paint
    EXPECT_EQ(onWindow(form, device), expected(form, {DrawHwbk}));
}

// The process held up (stopped, or its machine busy): the drawing resumes
// at the pace, and is still whole and exact in the end.
TEST(Form1Drawing, AfterAStallTheDrawingGoesOnAtThePace)
{
    Shown s(paced());
    QTest::mouseClick(s.form.button("CmdHwbk"), Qt::LeftButton);
    QTest::qWait(100);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // longer than the pattern takes
    QTest::qWait(50);
    EXPECT_TRUE(s.form.drawing()) << "the stall's time is not shown at once";
    waitShown(s.form);
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {DrawHwbk}));
}

TEST(Form1Drawing, InputDuringDrawingIsDiscardedNotQueued)
{
    Shown s(paced());
    QTest::mouseClick(s.form.button("CmdHwbk"), Qt::LeftButton);
    ASSERT_TRUE(s.form.drawing());
    // A storm of clicks on every button and keys, as an impatient user.
    for (int i = 0; i < 50; ++i) {
        for (const char* b : {"CmdCls", "CmdHwty", "CmdSgxc", "CmdExit", "CmdHwbk"}) {
            QWidget* w = s.form.button(b);
            const QPointF c = QRectF(w->rect()).center();
            QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, c, w->mapToGlobal(c),
                                                           Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, c, w->mapToGlobal(c),
                                                           Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        }
        QCoreApplication::postEvent(s.form.button("CmdHwbk"),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
        QCoreApplication::postEvent(QApplication::focusWidget(),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
        QCoreApplication::postEvent(QApplication::focusWidget(),
                                    new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier));
    }
    // A press given now and let go after the end never clicks.
    QWidget* exit = s.form.button("CmdExit");
    test::sendMouse(exit, QEvent::MouseButtonPress, Form1::monotonicMs());
    waitShown(s.form);
    test::sendMouse(exit, QEvent::MouseButtonRelease, Form1::monotonicMs() + 1);
    EXPECT_FALSE(s.form.ended()) << "the exit clicks were discarded";
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {DrawHwbk}))
        << "no other routine ran, during or after";
    EXPECT_EQ(name(QApplication::focusWidget()), "CmdHwbk") << "queued keys discarded too";

    // Input given after the routine works as usual.
    clickShown(s.form, "CmdCls");
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {}));
}

TEST(Form1Drawing, ACloseRequestDuringDrawingEndsTheProgramAtTheNextFrameAtAnyPace)
{
    // Shown whole at the next frame, about a second, hours.
    for (const double pace : {0.0, Pace::kPointsPerSecond, 100.0}) {
        SCOPED_TRACE(pace);
        Shown s(paced(pace));
        const int status = test::exitStatus(
            [&] {
                QTest::mouseClick(s.form.button("CmdSgxc"), Qt::LeftButton);
                ASSERT_TRUE(s.form.drawing());
                // As the window manager asks: a close event to the native window.
                QCoreApplication::postEvent(s.form.windowHandle(), new QCloseEvent);
            },
            5000);
        EXPECT_NE(status, -1) << "no waiting for the pattern";
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(s.form.ended());
        EXPECT_FALSE(s.form.isVisible());
        EXPECT_FALSE(s.form.framesRunning());
    }
}
