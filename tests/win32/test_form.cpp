// The Win32 window as its user meets it, under Wine on a private X server,
// driven through the program's own message loop and frame clock: the layout
// in the window's dots per inch, the faces, the keyboard, the patterns on the
// screen against the engine's own picture, the frames, the input rule,
// closing, a change of screen scale, and the one way out of a failure.

#include "form/Layout.h"
#include "form/Texts.h"
#include "support/FailingArrays.h"
#include "support/Surfaces.h"
#include "surface/TwipsScale.h"
#include "win32/Form1.h"
#include "win32/Text.h"
#include "WindowSupport.h"

#include <gtest/gtest.h>

#include <chrono>
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

// The error boxes this thread shows, read and answered as their user would:
// a hook of the thread's sees each dialog as it is activated.
thread_local std::vector<std::wstring>* tBoxes = nullptr;

LRESULT CALLBACK answerBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && tBoxes) {
        if (HWND box = reinterpret_cast<HWND>(wParam); className(box) == L"#32770") {
            tBoxes->push_back(windowText(GetDlgItem(box, 0xFFFF)));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A shown Form1, the real one: the status its loop ends with and the error
// boxes it shows are recorded.
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
        form = std::make_unique<Form1>(std::move(options));
        tBoxes = &reports;
        form->show();
        SetForegroundWindow(form->hwnd());
        settle();
    }
    ~Shown()
    {
        UnhookWindowsHookEx(hook);
        tBoxes = nullptr;
    }
    Shown(const Shown&) = delete;
    Shown& operator=(const Shown&) = delete;

    // Runs the program's loop until done() or the bound (a hang's limit,
    // not a speed check): whether done. A timer of the thread's own wakes
    // the loop to ask.
    bool until(const std::function<bool()>& done, std::chrono::milliseconds bound = std::chrono::seconds(20))
    {
        const auto end = std::chrono::steady_clock::now() + bound;
        const UINT_PTR wake = SetTimer(nullptr, 0, 10, nullptr);
        bool met = false;
        if (const int ended = form->run([&] { return (met = done()) || std::chrono::steady_clock::now() > end; });
            ended != -1) { // the program ended
            status = ended;
            met = done();
        }
        KillTimer(nullptr, wake);
        return met;
    }
    // Everything queued is handled, and the screen shows it.
    void settle(std::chrono::milliseconds time = std::chrono::milliseconds(100))
    {
        until([] { return false; }, time);
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

    HHOOK hook = SetWindowsHookExW(WH_CBT, answerBoxes, nullptr, GetCurrentThreadId());
    std::unique_ptr<Form1> form;
    std::optional<int> status;
    std::vector<std::wstring> reports;
};

bool pushedIn(HWND button)
{
    return (SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

// A button's click, as the button sends it, queued behind what is queued.
void post(Shown& w, const char* button)
{
    HWND b = w.button(button);
    PostMessageW(w.form->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(b), BN_CLICKED), reinterpret_cast<LPARAM>(b));
}

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
        LOGFONTW asked{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form.control(layout::kCmdHwbk), WM_GETFONT, 0, 0)),
                   sizeof asked, &asked);
        std::fprintf(stderr, "buttons in %s\n", narrow(asked.lfFaceName).c_str());
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
    HWND border = w.button(layout::kCmdHwbk);
    nextTick();
    sendInputs({keyInput(VK_SPACE, false)});
    EXPECT_TRUE(w.until([&] { return pushedIn(border); })) << "Space pushes 花纹边框 in";
    EXPECT_TRUE(w.drew({DrawHwty})) << "Space clicked before its release";
    sendInputs({keyInput(VK_SPACE, true)});
    EXPECT_TRUE(w.until([&] { return w.drew({DrawHwty, DrawHwbk}); })) << "Space on 花纹边框";
    EXPECT_FALSE(pushedIn(border));
    // With Ctrl, Space is neither the form's nor the button's own.
    HWND cls = w.button(layout::kCmdCls);
    SetFocus(cls);
    nextTick();
    sendInputs({keyInput(VK_CONTROL, false), keyInput(VK_SPACE, false)});
    w.settle();
    EXPECT_FALSE(pushedIn(cls));
    sendInputs({keyInput(VK_SPACE, true), keyInput(VK_CONTROL, true)});
    w.settle();
    EXPECT_EQ(w.form->picture().raster().clears(), 0u) << "Ctrl+Space clicked";
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
    DWORD during = 0;
    PostMessageW(w.form->hwnd(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), 0); // not a button: nothing
    clickAt(w.button(layout::kCmdHwbk));
    ASSERT_TRUE(w.until([&] {
        if (!during && w.form->frames() >= 3) {
            during = GetTickCount();
            clickAt(w.button(layout::kCmdSgxc));
            sendInputs({keyInput(VK_SPACE, false), keyInput(VK_SPACE, true), keyInput(VK_ESCAPE, false),
                        keyInput(VK_ESCAPE, true)});
            // A whole keystroke sent to 退出, down and up.
            PostMessageW(w.button(layout::kCmdExit), WM_KEYDOWN, VK_RETURN, 1);
            PostMessageW(w.button(layout::kCmdExit), WM_KEYUP, VK_RETURN, 0xC0000001);
        }
        return during && !w.form->session().busy();
    }));
    // Input given during the drawing that reaches the window only now, as
    // input in flight does, judged by its time; the press's release comes
    // after the end, and finds the button never pressed.
    pointAt(w.button(layout::kCmdSgxc));
    std::vector<INPUT> late = {keyInput(VK_SPACE, false), keyInput(VK_SPACE, true)};
    INPUT press{};
    press.type = INPUT_MOUSE;
    press.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    late.push_back(press);
    for (INPUT& in : late)
        (in.type == INPUT_KEYBOARD ? in.ki.time : in.mi.time) = during;
    press.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    late.push_back(press);
    sendInputs(late);
    w.settle(std::chrono::milliseconds(300));
    EXPECT_TRUE(w.drew({DrawHwbk})) << "input given while drawing ran afterwards";
    RecordingSurface border;
    DrawHwbk(border);
    EXPECT_EQ(calls.calls().size(), border.calls().size()) << "the border ran more than once";
    EXPECT_FALSE(w.status) << "退出 ran afterwards";

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
    w.settle(std::chrono::milliseconds(300));
    EXPECT_EQ(calls.calls().size() - before, border.calls().size()) << "not one border";
}

// A button held down, by the mouse or Space, from before a reveal began and
// let go after it ended never clicks (Enter clicks it, as the focus came
// with the press); one pressed during it is the input rule's.
TEST(Form1Drawing, AButtonHeldFromBeforeARevealNeverClicksOnItsReleaseAfterIt)
{
    Shown w;
    HWND cls = w.button(layout::kCmdCls);
    pointAt(cls);
    for (const bool byMouse : {true, false}) {
        SCOPED_TRACE(byMouse ? "the mouse" : "Space");
        INPUT mouse{};
        mouse.type = INPUT_MOUSE;
        const auto press = [&](bool up) {
            mouse.mi.dwFlags = up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
            sendInputs({byMouse ? mouse : keyInput(VK_SPACE, up)});
        };
        const auto clears = w.form->picture().raster().clears();
        SetFocus(cls);
        nextTick();
        press(false);
        ASSERT_TRUE(w.until([&] { return byMouse ? GetCapture() == cls : pushedIn(cls); }));
        pressKey(VK_RETURN);
        ASSERT_TRUE(w.until([&] { return w.form->picture().raster().clears() > clears && !w.form->session().busy(); }));
        nextTick();
        press(true);
        w.settle();
        EXPECT_EQ(w.form->picture().raster().clears(), clears + 1);
    }
}

// By the title bar's close at any pace, also before the first frame, and by
// Alt+F4, which is the window system's key, not input to the form: Space
// and a click beside it are still discarded.
TEST(Form1Drawing, ClosingDuringDrawingEndsWithStatusZeroAtAnyPace)
{
    for (const double pace : {0.0, 100.0, 4'000'000.0})
        for (const bool byKey : {false, true}) {
            SCOPED_TRACE(std::string(byKey ? "Alt+F4" : "title bar") + " at " + std::to_string(pace));
            Shown w(pace);
            const auto close = [&] {
                if (!byKey) {
                    PostMessageW(w.form->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
                    return;
                }
                clickAt(w.button(layout::kCmdCls));
                sendInputs({keyInput(VK_SPACE, false), keyInput(VK_SPACE, true), keyInput(VK_MENU, false),
                            keyInput(VK_F4, false), keyInput(VK_F4, true), keyInput(VK_MENU, true)});
            };
            post(w, layout::kCmdSgxc);
            bool closed = pace == 0; // queued behind the click, before its one frame
            if (closed)
                close();
            ASSERT_TRUE(w.until([&] {
                if (!closed && w.form->frames() >= 2) {
                    closed = true;
                    close();
                }
                return w.status.has_value();
            }));
            EXPECT_EQ(w.status, 0);
            EXPECT_TRUE(w.form->picture().routines().empty()) << "the four windows were shown whole";
            EXPECT_EQ(w.form->picture().raster().clears(), 0u) << "a click while drawing ran";
            EXPECT_FALSE(IsWindowVisible(w.form->hwnd()));
            EXPECT_TRUE(w.reports.empty());
        }
}

// At the pace the border is revealed frame by frame, each showing more.
// Held up for longer than the rest of the reveal takes (the process
// stopped), it goes on at the pace rather than jumping to its end; a part of
// the window uncovered meanwhile shows the picture as far as it goes;
// minimised, it goes on. Once the border is whole, exact, the clock stops.
TEST(Form1Frames, TheRevealGoesOnFrameByFrameThroughAStallACoverAndMinimisingThenTheClockStops)
{
    Shown w(Pace::kPointsPerSecond);
    const RasterSurface& raster = w.form->picture().raster();
    const auto showsPicture = [&] {
        return differences(screenPixels(w.form->hwnd()), raster.snapshot(), *w.form).empty();
    };
    post(w, layout::kCmdHwbk);
    Pixels last = raster.snapshot();
    int changes = 0;
    std::uint64_t stalledAt = 0, minimisedAt = 0, framesMinimised = 0;
    HWND cover = nullptr;
    bool busyAfterStall = false, covered = false, uncovered = false, shownLive = false;
    ASSERT_TRUE(w.until([&] {
        const bool busy = w.form->session().busy();
        const auto frames = w.form->frames();
        Pixels now = raster.snapshot();
        changes += busy && !(now == last);
        last = std::move(now);
        if (!stalledAt && frames >= 5) {
            Sleep(1500);
            stalledAt = frames;
        } else if (stalledAt && frames == stalledAt + 1) {
            busyAfterStall = busy;
        } else if (!cover && frames >= stalledAt + 5) {
            const RECT r = shapeRect(w.form->dpi());
            POINT at{r.left, r.top};
            ClientToScreen(w.form->hwnd(), &at);
            cover = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, at.x, at.y,
                                    r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        } else if (!uncovered && frames >= stalledAt + 10) {
            covered = !showsPicture();
            uncovered = true;
            DestroyWindow(cover);
        } else if (uncovered && !shownLive) {
            shownLive = busy && showsPicture();
        } else if (shownLive && !minimisedAt) {
            ShowWindow(w.form->hwnd(), SW_MINIMIZE);
            minimisedAt = frames;
        } else if (minimisedAt && IsIconic(w.form->hwnd())) {
            framesMinimised = frames - minimisedAt;
        }
        return frames > 0 && !busy;
    }));
    EXPECT_GE(changes, 10) << "frames while drawing";
    EXPECT_TRUE(busyAfterStall) << "the time stalled was made up at once";
    EXPECT_TRUE(covered) << "the cover did not show";
    EXPECT_TRUE(shownLive) << "uncovered while drawing, the window did not show the picture";
    EXPECT_GE(framesMinimised, 10u);
    EXPECT_TRUE(IsIconic(w.form->hwnd()));
    const auto frames = w.form->frames();
    w.settle(std::chrono::milliseconds(200));
    EXPECT_EQ(w.form->frames(), frames) << "an idle window's frame clock runs";
    ShowWindow(w.form->hwnd(), SW_RESTORE);
    std::string why;
    EXPECT_TRUE(showsExactly(w, {DrawHwbk}, &why)) << why;
}

// The first change comes in the middle of a reveal, which goes on at the new
// scale.
TEST(Form1Dpi, AScreenOfAnotherScaleMovesTheLayoutAndRedrawsThePictureExactly)
{
    Shown w(4'000'000);
    post(w, layout::kCmdHwbk);
    ASSERT_TRUE(w.until([&] { return w.form->frames() >= 3; }));
    ASSERT_TRUE(w.form->session().busy());
    for (const UINT dpi : {144u, 96u}) {
        const TwipsScale scale(dpi);
        const layout::Size client = layout::clientSize(scale);
        RECT frame{0, 0, client.width, client.height};
        AdjustWindowRectExForDpi(&frame, GetWindowLongW(w.form->hwnd(), GWL_STYLE), FALSE, 0, dpi);
        RECT now;
        GetWindowRect(w.form->hwnd(), &now);
        OffsetRect(&frame, now.left - frame.left, now.top - frame.top);
        SendMessageW(w.form->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
        EXPECT_TRUE(w.until([&] { return w.drew({DrawHwbk}); }));
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
}

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

// Failures outside the routines take the same way out as theirs: one report
// at the next frame, then status 1, the picture still shown as it was.
TEST(Form1Failure, AScaleWhosePictureMemoryCannotHoldIsReportedOnceAndEndsWithStatusOne)
{
    Shown w;
    post(w, layout::kCmdHwbk);
    ASSERT_TRUE(w.until([&] { return w.drew({DrawHwbk}); }));
    {
        FailingArrays noRoom(4 << 20); // the picture at 192 dpi is 7 MB
        RECT r;
        GetWindowRect(w.form->hwnd(), &r);
        SendMessageW(w.form->hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&r));
    }
    testing::internal::CaptureStderr();
    EXPECT_TRUE(w.until([&] { return w.status.has_value(); }));
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(w.status, 1);
    EXPECT_EQ(w.reports.size(), 1u);
    EXPECT_EQ(w.form->picture().raster().snapshot(), enginePicture(w.form->picture().raster(), {DrawHwbk}));
    EXPECT_EQ(w.form->picture().scale(), 1.0);
}

namespace {

// In the death test's process: waits for the error box, says what it says,
// and answers it as the user would.
void answerTheBox()
{
    HWND box = nullptr;
    if (!waitFor([&] { return (box = shownWindow(GetCurrentProcessId(), L"#32770")) != nullptr; })) {
        std::fprintf(stderr, "no error box\n");
        std::_Exit(3);
    }
    std::fprintf(stderr, "box %s: %s\n", narrow(windowText(box)).c_str(),
                 narrow(windowText(GetDlgItem(box, 0xFFFF))).c_str());
    std::fflush(stderr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
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
        std::thread answer(answerTheBox);
        answer.detach();
        PostMessageW(form.hwnd(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form.control(layout::kCmdHwty)));
        // The button's id, as the button itself sends it.
        PostMessageW(form.hwnd(), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(form.control(layout::kCmdHwty)), BN_CLICKED),
                     reinterpret_cast<LPARAM>(form.control(layout::kCmdHwty)));
        const int status = form.run();
        std::fflush(stderr);
        std::exit(status);
    };
    EXPECT_EXIT(failing(), testing::ExitedWithCode(1),
                "Kestivo1: 运行时错误：Form1\\.PSet 绘图操作失败。.*\n.*\n"
                "box Kestivo1: 运行时错误：Form1\\.PSet 绘图操作失败。");
}
