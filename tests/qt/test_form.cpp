// The window on the offscreen platform: layout, texts, fonts, focus, the
// commands, what reaches the screen, input during drawing and run-time errors.

#include "qt/Canvas.h"
#include "support/Surfaces.h"
#include "qt/ErrorReport.h"
#include "support/FakeClock.h"
#include "qt/FormSupport.h"
#include "qt/Form1.h"
#include "patterns/Patterns.h"
#include "surface/RasterSurface.h"
#include "session/PacedSurface.h"
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

#include <algorithm>
#include <vector>


using namespace kestivo;

namespace {

using test::enginePicture;
using test::pictureOf;
using test::onScreen;
using test::Shown;
using test::unpaced;

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
}

TEST(Form1Keyboard, TheFocusIsShownFromTheStartAndAfterAClick)
{
    Shown s;
    QWidget* border = s.form.button("CmdHwbk");
    QWidget* cls = s.form.button("CmdCls");
    const QImage borderFocused = border->grab().toImage();
    const QImage clsUnfocused = cls->grab().toImage();
    QTest::mouseClick(cls, Qt::LeftButton); // clears nothing, moves the focus
    ASSERT_EQ(QApplication::focusWidget(), cls);
    EXPECT_NE(border->grab().toImage(), borderFocused) << "the focus was not shown at start";
    EXPECT_NE(cls->grab().toImage(), clsUnfocused) << "the focus is not shown after a click";
}

TEST(Form1Commands, SpaceAtStartDrawsTheBorderAndEnterClicksTheFocusedButton)
{
    Shown s;
    test::typeKey(s.form, Qt::Key_Space);
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {DrawHwbk}));

    test::typeKey(s.form, Qt::Key_Tab); // to CmdCls
    test::typeKey(s.form, Qt::Key_Return);
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

    QTest::mouseClick(s.form.button("CmdCls"), Qt::LeftButton);
    EXPECT_EQ(s.form.grab().toImage(), startWindow) << "Cls on an empty surface changes nothing";

    QTest::mouseClick(s.form.button("CmdHwbk"), Qt::LeftButton);
    const QImage border = enginePicture(s.form, {DrawHwbk});
    EXPECT_EQ(onScreen(s.form), border.copy(s.form.canvas().rect()));

    QTest::mouseClick(s.form.button("CmdHwty"), Qt::LeftButton);
    QTest::mouseClick(s.form.button("CmdSgxc"), Qt::LeftButton);
    const QImage all = enginePicture(s.form, {DrawHwbk, DrawHwty, DrawSgxc});
    EXPECT_EQ(pictureOf(s.form), all);
    EXPECT_EQ(onScreen(s.form), all.copy(s.form.canvas().rect())) << "what the screen shows";

    QTest::mouseClick(s.form.button("CmdCls"), Qt::LeftButton);
    EXPECT_EQ(onScreen(s.form), startCanvas);
    EXPECT_EQ(s.form.grab().toImage(), startWindow) << "controls untouched, drawing gone";
}

TEST(Form1Commands, ExitEndsWithStatusZero)
{
    int status = -1;
    Form1::Options o = unpaced();
    o.exit = [&](int s) { status = s; };
    Shown s(o);
    QTest::mouseClick(s.form.button("CmdHwbk"), Qt::LeftButton);
    QTest::mouseClick(s.form.button("CmdExit"), Qt::LeftButton);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(s.form.ended());
    EXPECT_FALSE(s.form.isVisible());
}

TEST(Form1Drawing, DrawingIsPacedAndShownFrameByFrame)
{
    test::FakeClock clock;
    Form1::Options o = unpaced();
    o.session.pointsPerSecond = Pacer::kPointsPerSecond;
    o.session.clock = &clock;
    Shown s(o);
    int frames = 0;
    bool changedMidway = false;
    const QImage start = onScreen(s.form);
    s.form.surface().onFrame = [&] {
        ++frames;
        if (frames == 30)
            changedMidway = onScreen(s.form) != start;
    };
    QTest::mouseClick(s.form.button("CmdHwbk"), Qt::LeftButton);
    EXPECT_NEAR(clock.seconds(), 0.999, 0.003) << "999,156 points at a million a second";
    EXPECT_NEAR(frames, 60, 2);
    EXPECT_TRUE(changedMidway) << "frames reach the screen while the routine runs";
}

TEST(Form1Drawing, InputDuringDrawingIsDiscardedNotQueued)
{
    Shown s;
    bool posted = false;
    s.form.surface().onFrame = [&] {
        if (posted)
            return;
        posted = true;
        // A storm of clicks on every button and keys, as an impatient user.
        for (int i = 0; i < 50; ++i) {
            for (const char* b : {"CmdCls", "CmdHwty", "CmdSgxc", "CmdExit", "CmdHwbk"}) {
                QWidget* w = s.form.button(b);
                const QPointF c = QRectF(w->rect()).center();
                QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, c,
                                                               w->mapToGlobal(c), Qt::LeftButton,
                                                               Qt::LeftButton, Qt::NoModifier));
                QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, c,
                                                               w->mapToGlobal(c), Qt::LeftButton,
                                                               Qt::NoButton, Qt::NoModifier));
            }
            QCoreApplication::postEvent(s.form.button("CmdHwbk"),
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
            QCoreApplication::postEvent(QApplication::focusWidget(),
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
            QCoreApplication::postEvent(QApplication::focusWidget(),
                                        new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier));
        }
    };
    QTest::mouseClick(s.form.button("CmdHwbk"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(posted);
    EXPECT_FALSE(s.form.ended()) << "the queued exit click was discarded";
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {DrawHwbk}))
        << "no other routine ran, during or after";
    EXPECT_EQ(name(QApplication::focusWidget()), "CmdHwbk") << "queued keys discarded too";

    // Input given after the routine works as usual.
    s.form.surface().onFrame = nullptr;
    QTest::mouseClick(s.form.button("CmdCls"), Qt::LeftButton);
    EXPECT_EQ(pictureOf(s.form), enginePicture(s.form, {}));
}

TEST(Form1Drawing, CloseRequestDuringDrawingEndsTheProgramAtTheNextFrame)
{
    test::FakeClock clock;
    int status = -1;
    Form1::Options o = unpaced();
    o.session.pointsPerSecond = 100; // hours of drawing
    o.session.clock = &clock;
    o.exit = [&](int s) { status = s; };
    Shown s(o);
    int frames = 0;
    s.form.surface().onFrame = [&] {
        // As the window manager asks: a close event to the native window.
        if (++frames == 3)
            QCoreApplication::postEvent(s.form.windowHandle(), new QCloseEvent);
    };
    QTest::mouseClick(s.form.button("CmdSgxc"), Qt::LeftButton);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(s.form.ended());
    EXPECT_FALSE(s.form.isVisible());
    EXPECT_LE(frames, 4) << "ended within a frame of the request";
    EXPECT_LT(clock.seconds(), 0.1) << "no waiting for the pattern";
}
