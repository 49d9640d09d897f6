// The Win32 front-end's figures, under Wine or on Windows, next to a bare
// Win32 window (a label and a button) as the baseline:
//   - start to first paint, and peak working set, of Kestivo1.exe and of the
//     bare window, each started as its own process;
//   - drawing paced at the default rate in this process's own Form1, through
//     its message loop and frame clock: points and frames a second, and
//     processor time against its physical limit, measured in the same run:
//     the pattern's own frames presented alone at the frame rate (the same
//     regions, the same clock and paints, nothing drawn) plus one unpaced
//     run of its routine as the session runs it (recorded, then shown whole;
//     the engine drawing straight is given beside it). Windows counts
//     processor time in 10 ms ticks (so does Wine), so each figure is taken
//     over several drawings.
//
//   bench_win32 [KESTIVO1.EXE]     (default: Kestivo1.exe beside it)
//   bench_win32 --bare             the baseline window itself

#include "FrameRecorder.h"
#include "patterns/Patterns.h"
#include "session/FrontEnd.h"
#include "form/Layout.h"
#include "session/Pace.h"
#include "session/Session.h"
#include "form/Texts.h"
#include "surface/RasterSurface.h"
#include "support/RecordingSurface.h"
#include "win32/Form1.h"
#include "win32/Text.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace kestivo;
using Steady = std::chrono::steady_clock;

namespace {

int bareWindow()
{
    WNDCLASSW c{};
    c.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(h, m, w, l);
    };
    c.hInstance = GetModuleHandleW(nullptr);
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    c.lpszClassName = L"Bare";
    RegisterClassW(&c);
    HWND w = CreateWindowW(L"Bare", L"Bare", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 816, 591,
                           nullptr, nullptr, c.hInstance, nullptr);
    CreateWindowW(L"STATIC", L"Label", WS_CHILD | WS_VISIBLE, 10, 10, 100, 20, w, nullptr, c.hInstance, nullptr);
    CreateWindowW(L"BUTTON", L"Button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 40, 100, 25, w, nullptr,
                  c.hInstance, nullptr);
    ShowWindow(w, SW_SHOWNORMAL);
    UpdateWindow(w);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

double secondsOf(Steady::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double cpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto value = [](FILETIME t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return double(value(kernel) + value(user)) / 1e7;
}

struct Started {
    double firstPaint = 0; // seconds from CreateProcess to its window shown and idle
    double peakMB = 0;
};

// Starts a program, waits for its window to be up and idle, then ends it.
Started start(std::wstring line)
{
    Started s;
    STARTUPINFOW info{};
    info.cb = sizeof info;
    PROCESS_INFORMATION p{};
    const auto t0 = Steady::now();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &info, &p))
        return s;
    // Its window shown, then idle: painted.
    struct Search {
        DWORD pid;
        bool found;
    } search{p.dwProcessId, false};
    for (int i = 0; i < 20000 && !search.found; ++i) {
        EnumWindows(
            [](HWND h, LPARAM data) {
                auto& s = *reinterpret_cast<Search*>(data);
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                s.found = s.found || (pid == s.pid && IsWindowVisible(h));
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            Sleep(1);
    }
    WaitForInputIdle(p.hProcess, 20000);
    s.firstPaint = secondsOf(Steady::now() - t0);
    Sleep(300);
    PROCESS_MEMORY_COUNTERS m{};
    GetProcessMemoryInfo(p.hProcess, &m, sizeof m);
    s.peakMB = double(m.PeakWorkingSetSize) / (1024.0 * 1024.0);
    TerminateProcess(p.hProcess, 0);
    WaitForSingleObject(p.hProcess, 5000);
    CloseHandle(p.hProcess);
    CloseHandle(p.hThread);
    return s;
}

// Kestivo1 started unpaced, each pattern clicked, then its peak.
double sessionPeakMB(const std::wstring& program)
{
    std::wstring line = L"\"" + program + L"\" --pace 0";
    STARTUPINFOW info{};
    info.cb = sizeof info;
    PROCESS_INFORMATION p{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &info, &p))
        return 0;
    WaitForInputIdle(p.hProcess, 20000);
    HWND form = nullptr;
    for (int i = 0; i < 200 && !form; ++i, Sleep(10))
        form = FindWindowW(L"Kestivo1.Form1", nullptr);
    // Each shown whole at its first frame, well before the next click.
    for (const char16_t* caption : {texts::kCmdHwbk, texts::kCmdHwty, texts::kCmdSgxc}) {
        HWND button = FindWindowExW(form, nullptr, L"BUTTON", wide(caption));
        PostMessageW(form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        Sleep(500);
    }
    PROCESS_MEMORY_COUNTERS m{};
    GetProcessMemoryInfo(p.hProcess, &m, sizeof m);
    TerminateProcess(p.hProcess, 0);
    CloseHandle(p.hProcess);
    CloseHandle(p.hThread);
    return double(m.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// The routine run rounds times as the session runs it, at a pace (0:
// unpaced), its frames ticked at once, with no window: processor time.
double windowless(const char* button, double scale, int rounds, double pointsPerSecond = 0)
{
    bench::FrameRecorder taker;
    Session::Options options;
    options.pointsPerSecond = pointsPerSecond;
    Session session(taker, scale, options);
    const double cpu0 = cpuSeconds();
    for (int round = 0; round < rounds; ++round) {
        taker.reveal(session, layout::kCmdCls, Pace::kFrameMs);
        taker.reveal(session, button, Pace::kFrameMs);
    }
    return cpuSeconds() - cpu0;
}

double nowMs()
{
    return secondsOf(Steady::now().time_since_epoch()) * 1e3;
}

// The thread's messages, as the program's loop takes them.
void dispatchQueued()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The frames alone, rounds times over, on the program's kind of clock: a
// high-resolution waitable timer waited on with the messages, each frame's
// regions invalidated and painted by the window. Processor time.
double framesAlone(Form1& form, const std::vector<DirtyRegion>& frames, int rounds)
{
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, 0x2, TIMER_ALL_ACCESS);
    const double cpu0 = cpuSeconds();
    for (int r = 0; r < rounds; ++r) {
        double next = nowMs();
        for (const DirtyRegion& frame : frames) {
            LARGE_INTEGER due;
            due.QuadPart = -std::llround(std::max(0.0, next - nowMs()) * 1e4) - 1;
            SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
            while (MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) !=
                   WAIT_OBJECT_0)
                dispatchQueued();
            form.present(frame);
            dispatchQueued();
            next = std::max(next + Pace::kFrameMs, nowMs());
        }
    }
    const double cpu = cpuSeconds() - cpu0;
    CloseHandle(timer);
    return cpu;
}

Started best(const std::wstring& line, int runs)
{
    Started b{1e9, 0};
    for (int i = 0; i < runs; ++i) {
        const Started s = start(line);
        b.firstPaint = std::min(b.firstPaint, s.firstPaint);
        b.peakMB = std::max(b.peakMB, s.peakMB);
    }
    return b;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1 && std::wstring(argv[1]) == L"--bare")
        return bareWindow();
    const std::wstring program = argc > 1 ? argv[1] : L"Kestivo1.exe";
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);

    const Started kestivo = best(L"\"" + program + L"\"", 5);
    const Started bare = best(L"\"" + std::wstring(self) + L"\" --bare", 5);
    std::printf("start to first paint (best of 5): Kestivo1 %.0f ms, bare window %.0f ms (%.2fx)\n",
                kestivo.firstPaint * 1e3, bare.firstPaint * 1e3, kestivo.firstPaint / bare.firstPaint);
    std::printf("peak working set at start: Kestivo1 %.1f MB, bare window %.1f MB (%.2fx)\n", kestivo.peakMB,
                bare.peakMB, kestivo.peakMB / bare.peakMB);

    // Drawing paced, each pattern in turn, in a Form1 of this process.
    Form1 form;
    form.show();
    const auto settle = [&form] {
        form.run([&form] { return !form.session().busy(); });
        dispatchQueued();
    };
    const struct {
        const char* name;
        const char* button;
        Routine routine;
    } patterns[] = {{"border", layout::kCmdHwbk, DrawHwbk},
                    {"ellipse", layout::kCmdHwty, DrawHwty},
                    {"four windows", layout::kCmdSgxc, DrawSgxc}};
    for (const auto& p : patterns) {
        RecordingSurface calls;
        p.routine(calls);
        const auto points = static_cast<double>(calls.count(RecordingSurface::Op::PSet));
        const std::vector<DirtyRegion> frameList = bench::framesOf(p.button, form.picture().scale(), Pace::kFrameMs);
        // Each figure the best of three, each a drawing's share of several
        // (more where no frames pace them): other work on the machine only
        // ever adds.
        constexpr int kRounds = 10, kUnpacedRounds = 100;
        double wall = 1e9, paced = 1e9, alone = 1e9, routine = 1e9, engine = 1e9, core = 1e9, frames = 0;
        for (int run = 0; run < 3; ++run) {
            double c = 0, w = 0;
            std::uint64_t f = 0;
            for (int round = 0; round < kRounds; ++round) {
                form.session().click(layout::kCmdCls);
                settle();
                const double cpu0 = cpuSeconds();
                const std::uint64_t f0 = form.frames();
                const auto t0 = Steady::now();
                form.session().click(p.button);
                settle();
                w += secondsOf(Steady::now() - t0);
                c += cpuSeconds() - cpu0;
                f += form.frames() - f0;
            }
            if (c / kRounds < paced)
                paced = c / kRounds, wall = w / kRounds, frames = double(f) / kRounds;
            alone = std::min(alone, framesAlone(form, frameList, kRounds) / kRounds);
            const double scale = form.picture().scale();
            routine = std::min(routine, windowless(p.button, scale, kUnpacedRounds) / kUnpacedRounds);
            core = std::min(core, windowless(p.button, scale, kRounds, Pace::kPointsPerSecond) / kRounds);
            // The engine alone, straight onto a picture of the window's.
            const RasterSurface& picture = form.picture().raster();
            RasterSurface bare(picture.width(), picture.height(), 1440.0 / picture.scale().twipsPerPixel());
            const double e0 = cpuSeconds();
            for (int round = 0; round < kUnpacedRounds; ++round)
                p.routine(bare);
            engine = std::min(engine, (cpuSeconds() - e0) / kUnpacedRounds);
        }
        std::printf("%s paced: %.2f s, %.0f points/s, %.1f frames/s, CPU %.1f ms = %.1f %% of a core; "
                    "frames alone %.1f ms + routine unpaced %.1f ms: paced %.2fx them "
                    "(engine alone %.1f ms; the session's paced frames with no window %.1f ms)\n",
                    p.name, wall, points / wall, frames / wall, paced * 1e3, 100 * paced / wall,
                    alone * 1e3, routine * 1e3, paced / (alone + routine), engine * 1e3, core * 1e3);
    }
    std::printf("Kestivo1 after drawing all three: peak working set %.1f MB\n", sessionPeakMB(program));
    return 0;
}
