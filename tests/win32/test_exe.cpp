// Kestivo1.exe as it ships, started and used as a user would: its window
// laid out from the table, a pattern drawn exactly as the engine draws it,
// 清除 and 退出, closing while it draws, and its command line.

#include "patterns/Patterns.h"
#include "form/Layout.h"
#include "form/Texts.h"
#include "session/Picture.h"
#include "support/Surfaces.h"
#include "win32/Text.h"
#include "WindowSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace kestivo;
using namespace kestivo::test;

namespace {

// The built program, started with arguments, its window found.
class Program {
public:
    explicit Program(const std::wstring& arguments)
    {
        std::wstring line = L"Kestivo1.exe " + arguments;
        STARTUPINFOW start{};
        start.cb = sizeof start;
        if (!CreateProcessW(L"Kestivo1.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &start, &process_))
            return;
        WaitForInputIdle(process_.hProcess, 20000);
        waitFor([this] { return (window_ = shownWindow(process_.dwProcessId, L"Kestivo1.Form1")) != nullptr; });
        SetForegroundWindow(window_);
    }
    ~Program()
    {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 99);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    [[nodiscard]] HWND window() const { return window_; }

    // Its control with this text.
    [[nodiscard]] HWND control(const char16_t* text) const
    {
        return FindWindowExW(window_, nullptr, nullptr, wide(text));
    }

    [[nodiscard]] std::vector<RECT> controls() const
    {
        std::vector<RECT> all;
        for (const layout::Control& c : layout::kControls)
            if (c.text)
                all.push_back(clientRect(control(c.text)));
        return all;
    }

    // The exit status, once it has ended; -1 if it does not within the bound.
    int status(DWORD boundMs = 20000) const
    {
        DWORD code = DWORD(-1);
        if (WaitForSingleObject(process_.hProcess, boundMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_.hProcess, &code);
        return int(code);
    }

    bool shows(const Pixels& engine, std::string& why) const
    {
        return waitFor([&] {
            why = pictureDifferences(screenPixels(window_), engine, controls(), shapeRect(96));
            return why.empty();
        });
    }

private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

Pixels engineAt96(std::initializer_list<Routine> routines)
{
    const layout::Size size = layout::pictureSize(TwipsScale(96));
    return enginePicture(RasterSurface(size.width, size.height), routines);
}

} // namespace

TEST(Executable, OpensTheTableLayoutDrawsExactlyClearsAndExitsWithStatusZero)
{
    Program program(L"--pace 0");
    ASSERT_TRUE(program.window()) << "no window";
    EXPECT_EQ(windowText(program.window()), wide(texts::kCaption));
    EXPECT_EQ(GetDpiForWindow(program.window()), 96u);
    // Aware of each screen's scale, by its manifest (Wine reports no version).
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(program.window())),
              DPI_AWARENESS_PER_MONITOR_AWARE);
    RECT client;
    GetClientRect(program.window(), &client);
    const TwipsScale scale(96);
    EXPECT_EQ(client.right, layout::clientSize(scale).width);
    EXPECT_EQ(client.bottom, layout::clientSize(scale).height);
    for (const layout::Control& c : layout::kControls) {
        if (!c.text)
            continue;
        HWND h = program.control(c.text);
        ASSERT_TRUE(h) << c.name;
        const RECT r = clientRect(h);
        EXPECT_EQ(r.left, scale.toPixels(c.left)) << c.name;
        EXPECT_EQ(r.top, scale.toPixels(c.top)) << c.name;
        EXPECT_EQ(r.right, scale.toPixels(c.left) + scale.toPixels(c.width)) << c.name;
        EXPECT_EQ(r.bottom, scale.toPixels(c.top) + scale.toPixels(c.height)) << c.name;
    }

    std::string why;
    clickAt(program.control(texts::kCmdHwty));
    EXPECT_TRUE(program.shows(engineAt96({DrawHwty}), why)) << "花纹椭圆: " << why;
    // Patterns overlay.
    clickAt(program.control(texts::kCmdHwbk));
    EXPECT_TRUE(program.shows(engineAt96({DrawHwty, DrawHwbk}), why)) << "花纹边框 over it: " << why;
    clickAt(program.control(texts::kCmdCls));
    EXPECT_TRUE(program.shows(engineAt96({}), why)) << "清除: " << why;
    clickAt(program.control(texts::kCmdExit));
    EXPECT_EQ(program.status(), 0);
}

TEST(Executable, ClosedWhileDrawingItEndsWithStatusZero)
{
    Program program(L"");
    ASSERT_TRUE(program.window()) << "no window";
    clickAt(program.control(texts::kCmdSgxc));
    // Once drawing shows, at the paced rate.
    const Pixels start = screenPixels(program.window());
    ASSERT_TRUE(waitFor([&] { return !(screenPixels(program.window()) == start); }));
    PostMessageW(program.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.status(), 0);
}

TEST(Executable, VersionGoesToTheConsoleItWasStartedFrom)
{
    // A console of this test's own, as cmd.exe has; the program is started
    // with no output handles of its own, as from a command prompt.
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(console, INVALID_HANDLE_VALUE);
    std::wstring line = L"Kestivo1.exe --version";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION p{};
    ASSERT_TRUE(CreateProcessW(L"Kestivo1.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &start, &p));
    ASSERT_EQ(WaitForSingleObject(p.hProcess, 20000), WAIT_OBJECT_0);
    DWORD status = 99;
    GetExitCodeProcess(p.hProcess, &status);
    CloseHandle(p.hProcess);
    CloseHandle(p.hThread);
    EXPECT_EQ(status, 0u);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &info));
    std::wstring screen(std::size_t(info.dwSize.X) * std::size_t(info.dwCursorPosition.Y + 1), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(console, screen.data(), DWORD(screen.size()), {0, 0}, &read);
    EXPECT_NE(screen.find(L"Kestivo1 " + wide(std::string_view(KESTIVO_VERSION_TEXT))), std::wstring::npos)
        << narrow(screen);
    CloseHandle(console);
    FreeConsole();
}

namespace {

// Wine's screen scale for the programs started while it lives (Wine reads
// it when a program starts), the test prefix's 96 dpi again afterwards.
class ScreenDpi {
public:
    explicit ScreenDpi(DWORD dpi) { set(dpi); }
    ~ScreenDpi() { set(96); }
    ScreenDpi(const ScreenDpi&) = delete;
    ScreenDpi& operator=(const ScreenDpi&) = delete;

private:
    static void set(DWORD dpi)
    {
        // Where Wine releases look for it, the first they find counting.
        for (const auto& [root, path] : {std::pair{HKEY_CURRENT_CONFIG, L"Software\\Fonts"},
                                         std::pair{HKEY_CURRENT_USER, L"Control Panel\\Desktop"}})
            RegSetKeyValueW(root, path, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
};

} // namespace

// A screen ten times the logical scale: the picture cannot be drawn at it,
// and the program says so and stops rather than draw at another.
TEST(Executable, AScreenScaleThePictureCannotBeDrawnAtIsRefusedOnStderrInABoxWithStatusOne)
{
    const ScreenDpi screen(960);
    wchar_t errName[MAX_PATH] = {};
    GetTempFileNameW(L".", L"err", 0, errName);
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE err = CreateFileW(errName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(err, INVALID_HANDLE_VALUE);
    std::wstring line = L"Kestivo1.exe";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdError = err;
    PROCESS_INFORMATION p{};
    ASSERT_TRUE(CreateProcessW(L"Kestivo1.exe", line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &p));
    HWND box = nullptr, window = nullptr;
    EXPECT_TRUE(waitFor([&] {
        window = shownWindow(p.dwProcessId, L"Kestivo1.Form1");
        return window || (box = shownWindow(p.dwProcessId, L"#32770")) != nullptr;
    })) << "no box";
    if (window) { // Wine 9 on, like Windows, takes a new screen scale only with a new session
        TerminateProcess(p.hProcess, 0);
        CloseHandle(p.hProcess);
        CloseHandle(p.hThread);
        CloseHandle(err);
        GTEST_SKIP() << "the screen's scale stayed the session's: a new process cannot be given 960 dots per inch";
    }
    const std::wstring said = box ? windowText(GetDlgItem(box, 0xFFFF)) : L"";
    if (box)
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD status = 99;
    if (WaitForSingleObject(p.hProcess, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(p.hProcess, &status);
    else
        TerminateProcess(p.hProcess, 99);
    CloseHandle(p.hProcess);
    CloseHandle(p.hThread);
    EXPECT_EQ(status, 1u);
    const std::string why = scaleProblem(10, "the screen's 960 dots per inch").value_or("");
    char written[512] = {};
    DWORD read = 0;
    SetFilePointer(err, 0, nullptr, FILE_BEGIN);
    ReadFile(err, written, sizeof written - 1, &read, nullptr);
    CloseHandle(err);
    EXPECT_EQ(std::string(written), "Kestivo1: " + why + "\r\n");
    EXPECT_EQ(narrow(said), why);
}
