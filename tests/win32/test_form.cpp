// The Win32 window as its user meets it, under Wine on a private X server:
// the layout in the window's dots per inch, the faces, the keyboard, the
// patterns on the screen against the engine's own picture, the input rule,
// closing, a change of screen scale, and the one way out of a failure.

#include "session/Layout.h"
#include "session/Texts.h"
#include "support/Surfaces.h"
#include "surface/TwipsScale.h"
#include "win32/Form1.h"
#include "win32/Text.h"
#include "WindowSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

using namespace kestivo;
using namespace kestivo::test;

namespace {

// Passes each call to a watcher, then to the screen.
class Tee final : public ForwardingSurface {
public:
    Tee(DrawingSurface* watcher, DrawingSurface* screen) : ForwardingSurface(screen), watcher_(watcher) {}

private:
    Status handle(const Call& call) override
    {
        (void)replay(call, *watcher_);
        return forward(call);
    }
    DrawingSurface* watcher_;
};

// A shown Form1 whose ending and reports are recorded rather than acted on.
struct Shown {
    // pace: points a second; 0 draws unpaced.
    explicit Shown(double pace = 0, DrawingSurface* watch = nullptr)
    {
        Form1::Options options;
        options.session.pointsPerSecond = pace;
        if (watch) // sees every call the handlers make, before the screen
            options.session.decorate = [watch](DrawingSurface& screen) {
                return std::make_unique<Tee>(watch, &screen);
            };
        options.exit = [this](int s) { status = s; };
        options.report = [this](const std::wstring&, const std::wstring& message) {
            reports.push_back(message);
        };
        form = std::make_unique<Form1>(std::move(options));
        form->show();
        SetForegroundWindow(form->hwnd());
        settle();
    }

    void pump()
    {
        pumpWith([this](MSG& m) { form->dispatch(m); });
    }
    bool until(const std::function<bool()>& done)
    {
        return pumpUntil([this](MSG& m) { form->dispatch(m); }, done);
    }
    // Everything queued is handled, and the screen shows it.
    void settle()
    {
        for (int i = 0; i < 5; ++i) {
            pump();
            Sleep(20);
        }
    }
    HWND button(const char* name) const { return form->control(name); }
    // The patterns drawn since the last 清除, in order, and nothing drawing.
    bool drew(std::initializer_list<Routine> routines) const
    {
        std::vector<Routine> patterns;
        for (Routine r : form->picture().routines())
            if (r == DrawHwbk || r == DrawHwty || r == DrawSgxc)
                patterns.push_back(r);
        return !form->session().busy() && patterns == std::vector<Routine>(routines);
    }

    std::unique_ptr<Form1> form;
    std::optional<int> status;
    std::vector<std::wstring> reports;
};

// Where the screen shows the picture, whether it shows exactly the engine's.
std::string differences(const Pixels& screen, const Pixels& engine, const Form1& form)
{
    std::vector<RECT> controls;
    for (const layout::Control& c : layout::kControls)
        if (HWND h = form.control(c.name))
            controls.push_back(clientRect(h));
    return pictureDifferences(screen, engine, controls, shapeRect(form.dpi()));
}

bool showsExactly(Shown& w, std::initializer_list<Routine> routines, std::string* why = nullptr)
{
    const Pixels engine = enginePicture(w.form->picture().raster(), routines);
    std::string d;
    // What the window painted reaches the X server on the next turns.
    const bool same = w.until([&] {
        d = differences(screenPixels(w.form->hwnd()), engine, *w.form);
        return d.empty();
    });
    if (why)
        *why = d;
    return same && w.form->picture().raster().snapshot() == engine;
}

// What GDI made of a control's font lacks for its text (no glyph: a box),
// by the characters' positions; empty if nothing.
std::string missingGlyphs(HWND control)
{
    const std::wstring text = windowText(control);
    auto* font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, font);
    std::vector<WORD> glyphs(text.size());
    GetGlyphIndicesW(dc, text.c_str(), int(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    std::string missing;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (glyphs[i] == 0xFFFF)
            missing += " " + std::to_string(i);
    return missing;
}

constexpr std::uint32_t kBlue = 0xFF0000FFu;
constexpr std::uint32_t kBlackPixel = 0xFF000000u;

} // namespace

TEST(Form1Layout, EveryControlSitsWhereTheTableSaysAtTheWindowsDpi)
{
    Shown w;
    const UINT dpi = w.form->dpi();
    const TwipsScale scale(dpi);
    EXPECT_EQ(windowText(w.form->hwnd()), wide(texts::kCaption));
    RECT client;
    GetClientRect(w.form->hwnd(), &client);
    const layout::Size size = layout::clientSize(scale);
    EXPECT_EQ(client.right, size.width);
    EXPECT_EQ(client.bottom, size.height);
    for (const layout::Control& c : layout::kControls) {
        if (c.kind == layout::Kind::Shape)
            continue;
        HWND h = w.form->control(c.name);
        ASSERT_TRUE(h) << c.name;
        const RECT r = clientRect(h);
        EXPECT_EQ(r.left, scale.toPixels(c.left)) << c.name;
        EXPECT_EQ(r.top, scale.toPixels(c.top)) << c.name;
        EXPECT_EQ(r.right - r.left, scale.toPixels(c.width)) << c.name;
        EXPECT_EQ(r.bottom - r.top, scale.toPixels(c.height)) << c.name;
        EXPECT_EQ(windowText(h), wide(c.text)) << c.name;
    }

    // On the screen: the green background, the blue frame, the labels'
    // black boxes with text of their colour.
    const Pixels screen = screenPixels(w.form->hwnd());
    EXPECT_EQ(screen.pixel(2, 2), kBackground.argb());
    const RECT frame = shapeRect(dpi);
    for (int x = frame.left; x < frame.right; ++x) {
        EXPECT_EQ(screen.pixel(x, frame.top), kBlue) << x;
        EXPECT_EQ(screen.pixel(x, frame.bottom - 1), kBlue) << x;
    }
    EXPECT_EQ(screen.pixel(frame.left + 1, frame.top + 1), kBackground.argb())
        << "the frame's inside shows the picture";
    for (const layout::Control& c : layout::kControls) {
        if (c.kind != layout::Kind::Label)
            continue;
        const RECT r = clientRect(w.form->control(c.name));
        int black = 0, text = 0, other = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const std::uint32_t p = screen.pixel(x, y);
                (p == kBlackPixel ? black : p == c.foreColour.argb() ? text : other)++;
            }
        EXPECT_GT(black, text) << c.name << ": an opaque black box";
        EXPECT_GT(text, 40) << c.name << ": text in its colour";
        EXPECT_EQ(screen.pixel(r.left - 1, r.top), kBackground.argb()) << c.name;
    }
}

TEST(Form1Layout, LabelsInBoldKaiAndButtonsInSongAtTheirSizesWithEveryGlyph)
{
    Shown w;
    const UINT dpi = w.form->dpi();
    for (const layout::Control& c : layout::kControls) {
        if (c.kind == layout::Kind::Shape)
            continue;
        HWND h = w.form->control(c.name);
        auto* font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
        ASSERT_TRUE(font) << c.name;
        LOGFONTW asked{};
        GetObjectW(font, sizeof asked, &asked);
        const bool label = c.kind == layout::Kind::Label;
        const double points = label ? c.pointSize : layout::kButtonFontPoints;
        EXPECT_EQ(asked.lfHeight, -std::lround(points * dpi / 72)) << c.name;
        EXPECT_EQ(asked.lfWeight, label ? 700 : FW_NORMAL) << c.name;
        EXPECT_FALSE(asked.lfItalic || asked.lfUnderline || asked.lfStrikeOut) << c.name;
        // The test prefix maps the Windows faces to Debian's AR PL ones.
        EXPECT_EQ(std::wstring(asked.lfFaceName), label ? wide(layout::kLabelFontFamily) : L"宋体")
            << c.name;
        EXPECT_EQ(asked.lfCharSet, GB2312_CHARSET) << c.name;

        EXPECT_EQ(missingGlyphs(h), "") << c.name;
        HDC dc = GetDC(h);
        HGDIOBJ old = SelectObject(dc, font);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        if (label) {
            EXPECT_EQ(metrics.tmWeight, 700) << c.name;
        }
        SelectObject(dc, old);
        ReleaseDC(h, dc);
        const std::wstring realised(face);
        const bool kai = realised.find(L"Kai") != std::wstring::npos || realised.find(L"楷") != std::wstring::npos;
        const bool song = realised.find(L"Ming") != std::wstring::npos || realised.find(L"宋") != std::wstring::npos;
        EXPECT_TRUE(label ? kai : song) << c.name << " realised as " << narrow(realised);
    }
}

// Wine reads its font replacements when a program starts: the window is
// built in a process of its own, with no Song face mapped, where GB2312
// faces (Debian's AR PL ones) are all there is.
TEST(Form1FontsDeathTest, WithNoSongFaceTheButtonsTakeAFaceWithGB2312)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Fonts\\Replacements", 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    std::vector<std::pair<std::wstring, std::wstring>> song;
    for (const wchar_t* name : {L"宋体", L"SimSun", L"NSimSun"}) {
        wchar_t value[LF_FACESIZE] = {};
        DWORD size = sizeof value;
        if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS) {
            song.emplace_back(name, value);
            RegDeleteValueW(key, name);
        }
    }
    const auto inItsOwnProcess = [] {
        Form1 form{Form1::Options{}};
        int bad = 0;
        for (const layout::Control& c : layout::kControls)
            if (c.kind == layout::Kind::CommandButton)
                if (const std::string missing = missingGlyphs(form.control(c.name)); !missing.empty()) {
                    std::fprintf(stderr, "%s lacks glyphs%s\n", c.name, missing.c_str());
                    ++bad;
                }
        std::fprintf(stderr, "buttons in %s\n", narrow(form.buttonFaceName()).c_str());
        std::fflush(stderr);
        std::_Exit(bad);
    };
    EXPECT_EXIT(inItsOwnProcess(), testing::ExitedWithCode(0), "buttons in ");
    for (const auto& [name, value] : song)
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

TEST(Form1Keyboard, FocusStartsOnTheBorderTabFollowsTheTabIndexSpaceAndEnterClick)
{
    Shown w;
    EXPECT_EQ(GetFocus(), w.button(layout::kCmdHwbk));
    const char* order[] = {layout::kCmdCls, layout::kCmdExit, layout::kCmdSgxc, layout::kCmdHwty,
                           layout::kCmdHwbk};
    for (const char* next : order) {
        pressKey(VK_TAB);
        EXPECT_TRUE(w.until([&] { return GetFocus() == w.button(next); })) << "Tab to " << next;
    }
    sendInputs({keyInput(VK_SHIFT, false), keyInput(VK_TAB, false), keyInput(VK_TAB, true),
                keyInput(VK_SHIFT, true)});
    EXPECT_TRUE(w.until([&] { return GetFocus() == w.button(layout::kCmdHwty); })) << "Shift+Tab";

    pressKey(VK_RETURN);
    EXPECT_TRUE(w.until([&] { return w.drew({DrawHwty}); })) << "Enter on 花纹椭圆";
    pressKey(VK_TAB); // to 花纹边框
    pressKey(VK_SPACE);
    EXPECT_TRUE(w.until([&] { return w.drew({DrawHwty, DrawHwbk}); })) << "Space on 花纹边框";
    EXPECT_FALSE(w.status);
}

TEST(Form1Drawing, EachPatternOnTheScreenIsTheEnginesPictureAndClsRestoresTheStart)
{
    Shown w;
    const struct {
        const char* button;
        Routine routine;
    } patterns[] = {{layout::kCmdHwbk, DrawHwbk}, {layout::kCmdHwty, DrawHwty}, {layout::kCmdSgxc, DrawSgxc}};
    for (const auto& p : patterns) {
        clickAt(w.button(p.button));
        ASSERT_TRUE(w.until([&] { return w.drew({p.routine}); })) << p.button;
        std::string why;
        EXPECT_TRUE(showsExactly(w, {p.routine}, &why)) << p.button << ": " << why;
        const auto clears = w.form->picture().raster().clears();
        clickAt(w.button(layout::kCmdCls));
        ASSERT_TRUE(w.until([&] { return w.form->picture().raster().clears() > clears; }));
        EXPECT_TRUE(showsExactly(w, {}, &why)) << p.button << ": 清除 leaves the background; " << why;
    }
    // Patterns overlay until cleared.
    for (const auto& p : patterns) {
        clickAt(w.button(p.button));
        ASSERT_TRUE(w.until([&] { return w.form->picture().routines().back() == p.routine; }));
    }
    ASSERT_TRUE(w.drew({DrawHwbk, DrawHwty, DrawSgxc}));
    std::string why;
    EXPECT_TRUE(showsExactly(w, {DrawHwbk, DrawHwty, DrawSgxc}, &why)) << why;

    clickAt(w.button(layout::kCmdExit));
    EXPECT_TRUE(w.until([&] { return w.status.has_value(); }));
    EXPECT_EQ(w.status, 0);
    EXPECT_FALSE(IsWindowVisible(w.form->hwnd()));
}

TEST(Form1Drawing, InputDuringDrawingIsDiscardedAndAHeldKeyClicksOnce)
{
    // Paced, so that the input comes while the border is drawn.
    RecordingSurface calls;
    Shown w(4'000'000, &calls);
    int frames = 0;
    DWORD during = 0;
    w.form->session().surface().onFrame = [&] {
        if (++frames == 1)
            during = GetTickCount();
        if (frames != 3)
            return;
        clickAt(w.button(layout::kCmdSgxc));
        sendInputs({keyInput(VK_SPACE, false), keyInput(VK_SPACE, true), keyInput(VK_ESCAPE, false),
                    keyInput(VK_ESCAPE, true)});
        PostMessageW(w.button(layout::kCmdExit), WM_KEYDOWN, VK_RETURN, 1);
        // The queue is read at the next frame; the rest after the end.
    };
    PostMessageW(w.form->hwnd(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), 0); // not a button: nothing
    clickAt(w.button(layout::kCmdHwbk));
    ASSERT_TRUE(w.until([&] { return frames > 3 && !w.form->session().busy(); }));
    // Input given during the drawing that reaches the window only now, as
    // input in flight does: judged by its time.
    pointAt(w.button(layout::kCmdSgxc));
    std::vector<INPUT> late = {keyInput(VK_SPACE, false), keyInput(VK_SPACE, true)};
    INPUT press{};
    press.type = INPUT_MOUSE;
    press.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    late.push_back(press);
    press.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    late.push_back(press);
    for (INPUT& in : late)
        (in.type == INPUT_KEYBOARD ? in.ki.time : in.mi.time) = during;
    sendInputs(late);
    w.settle();
    Sleep(200);
    w.settle();
    EXPECT_TRUE(w.drew({DrawHwbk})) << "input given while drawing ran afterwards";
    RecordingSurface border;
    DrawHwbk(border);
    EXPECT_EQ(calls.calls().size(), border.calls().size()) << "the border ran more than once";
    EXPECT_FALSE(w.status) << "退出 ran afterwards";
    w.form->session().surface().onFrame = nullptr;

    // Enter held on 清除: one click, however many repeats.
    SetFocus(w.button(layout::kCmdCls));
    std::vector<INPUT> held(8, keyInput(VK_RETURN, false));
    held.push_back(keyInput(VK_RETURN, true));
    nextTick();
    sendInputs(held);
    ASSERT_TRUE(w.until([&] { return w.form->picture().raster().clears() >= 1; }));
    w.settle();
    EXPECT_EQ(w.form->picture().raster().clears(), 1u);
    // And Space held on 花纹边框: one border.
    const std::size_t before = calls.calls().size();
    SetFocus(w.button(layout::kCmdHwbk));
    std::vector<INPUT> space(8, keyInput(VK_SPACE, false));
    space.push_back(keyInput(VK_SPACE, true));
    nextTick();
    sendInputs(space);
    ASSERT_TRUE(w.until([&] { return w.drew({DrawHwbk}); }));
    w.settle();
    Sleep(200);
    w.settle();
    EXPECT_EQ(calls.calls().size() - before, border.calls().size()) << "not one border";
}

// By the title bar's close, and by Alt+F4, which is the window system's key,
// not input to the form: Space and a click beside it are still discarded.
TEST(Form1Drawing, ClosingDuringDrawingEndsWithStatusZero)
{
    for (const bool byKey : {false, true}) {
        SCOPED_TRACE(byKey ? "Alt+F4" : "title bar");
        Shown w(4'000'000);
        int frames = 0;
        w.form->session().surface().onFrame = [&] {
            if (++frames != 2)
                return;
            if (!byKey) {
                PostMessageW(w.form->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
                return;
            }
            clickAt(w.button(layout::kCmdCls));
            sendInputs({keyInput(VK_SPACE, false), keyInput(VK_SPACE, true), keyInput(VK_MENU, false),
                        keyInput(VK_F4, false), keyInput(VK_F4, true), keyInput(VK_MENU, true)});
        };
        clickAt(w.button(layout::kCmdSgxc));
        ASSERT_TRUE(w.until([&] { return w.status.has_value(); }));
        EXPECT_EQ(w.status, 0);
        EXPECT_EQ(w.form->picture().raster().clears(), 0u) << "a click while drawing ran";
        EXPECT_FALSE(IsWindowVisible(w.form->hwnd()));
        EXPECT_TRUE(w.reports.empty());
    }
}

TEST(Form1Dpi, AScreenOfAnotherScaleMovesTheLayoutAndRedrawsThePictureExactly)
{
    Shown w;
    clickAt(w.button(layout::kCmdHwbk));
    ASSERT_TRUE(w.until([&] { return w.drew({DrawHwbk}); }));
    const Pixels at96 = w.form->picture().raster().snapshot();

    for (const UINT dpi : {144u, 96u}) {
        const TwipsScale scale(dpi);
        const layout::Size client = layout::clientSize(scale);
        RECT frame{0, 0, client.width, client.height};
        AdjustWindowRectExForDpi(&frame, GetWindowLongW(w.form->hwnd(), GWL_STYLE), FALSE, 0, dpi);
        RECT now;
        GetWindowRect(w.form->hwnd(), &now);
        OffsetRect(&frame, now.left - frame.left, now.top - frame.top);
        SendMessageW(w.form->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
        w.settle();
        EXPECT_EQ(w.form->dpi(), dpi);
        for (const char* name : {layout::kCmdHwbk, layout::kLabel1}) {
            const layout::Control& c = *layout::find(name);
            const RECT r = clientRect(w.form->control(name));
            EXPECT_EQ(r.left, scale.toPixels(c.left)) << name << " at " << dpi;
            EXPECT_EQ(r.bottom - r.top, scale.toPixels(c.height)) << name << " at " << dpi;
        }
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(w.form->control(layout::kLabel1), WM_GETFONT, 0, 0)),
                   sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -std::lround(26.25 * dpi / 72));
        const RasterSurface& raster = w.form->picture().raster();
        EXPECT_EQ(raster.width(), layout::pictureSize(scale).width);
        std::string why;
        EXPECT_TRUE(showsExactly(w, {DrawHwbk}, &why)) << "at " << dpi << ": " << why;
    }
    EXPECT_EQ(w.form->picture().raster().snapshot(), at96) << "back at 96 dpi, the same pixels";
}

// Moved to a screen of another scale, and back with the window's size kept
// as it was there: the labels show the new scale's glyphs, the same pixels
// as at the start once back.
TEST(Form1Dpi, TheLabelsFollowAScaleChangeThatKeepsTheWindowsSize)
{
    Shown w;
    const auto labels = [&w] {
        const Pixels screen = screenPixels(w.form->hwnd());
        std::vector<Pixels> parts;
        for (const layout::Control& c : layout::kControls)
            if (c.kind == layout::Kind::Label) {
                const RECT r = clientRect(w.form->control(c.name));
                parts.push_back(screen.copy({int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)}));
            }
        return parts;
    };
    const std::vector<Pixels> at96 = labels();
    for (const UINT dpi : {144u, 96u}) {
        RECT suggested;
        GetWindowRect(w.form->hwnd(), &suggested);
        if (dpi == 144) // as large as the layout needs there
            suggested.right += (suggested.right - suggested.left) / 2;
        SendMessageW(w.form->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        w.settle();
    }
    EXPECT_TRUE(w.until([&] { return labels() == at96; })) << "the labels kept another scale's glyphs";
}

namespace {

// In the death test's process: waits for the error box, says what it says,
// and answers it as the user would.
void answerTheBox(DWORD thread)
{
    for (int i = 0; i < 2000; ++i) {
        HWND box = nullptr;
        EnumThreadWindows(
            thread,
            [](HWND h, LPARAM found) {
                wchar_t name[16] = {};
                GetClassNameW(h, name, 16);
                if (std::wstring(name) == L"#32770" && IsWindowVisible(h))
                    *reinterpret_cast<HWND*>(found) = h;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&box));
        if (box) {
            std::fprintf(stderr, "box %s: %s\n", narrow(windowText(box)).c_str(),
                         narrow(windowText(GetDlgItem(box, 0xFFFF))).c_str());
            std::fflush(stderr);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return;
        }
        Sleep(10);
    }
    std::fprintf(stderr, "no error box\n");
    std::_Exit(3);
}

} // namespace

TEST(Form1FailureDeathTest, ARunTimeErrorIsShownInAMessageBoxOnStderrAndEndsWithStatusOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto failing = [] {
        Form1::Options options; // the real box and the real end
        options.session.pointsPerSecond = 0;
        options.session.decorate = [](DrawingSurface& screen) {
            return std::make_unique<FaultySurface>(Op::PSet, 1000, &screen);
        };
        Form1 form(std::move(options));
        form.show();
        std::thread answer(answerTheBox, GetCurrentThreadId());
        answer.detach();
        PostMessageW(form.hwnd(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form.control(layout::kCmdHwty)));
        // The button's id, as the button itself sends it.
        PostMessageW(form.hwnd(), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(form.control(layout::kCmdHwty)), BN_CLICKED),
                     reinterpret_cast<LPARAM>(form.control(layout::kCmdHwty)));
        const int status = runMessageLoop(form);
        std::fflush(stderr);
        std::exit(status);
    };
    EXPECT_EXIT(failing(), testing::ExitedWithCode(1),
                "Kestivo1: 运行时错误：Form1\\.PSet 绘图操作失败。.*\n.*\n"
                "box Kestivo1: 运行时错误：Form1\\.PSet 绘图操作失败。");
}
