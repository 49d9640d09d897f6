// The window's figures: time from process start to the first frame, and
// peak resident memory of a session that draws all three patterns, each next
// to a bare Qt Widgets window as the baseline; frames a second while a
// pattern is drawn; and the processor time each pattern costs drawn at the
// program's pace in a shown window, next to its physical limit: its frames
// alone (the same regions presented on the same frame clock, nothing drawn)
// plus one unpaced run of its routine. Runs on the offscreen platform unless
// QT_QPA_PLATFORM, DISPLAY or WAYLAND_DISPLAY says otherwise
// (tests/qt/with-display.sh x11|wayland runs it under Xvfb or weston).
//
// The first two start a child process (this program with --child=...) that
// does what Kestivo1's main does, so that loading Qt counts as it does for
// the real program.

#include "form/Layout.h"
#include "qt/Canvas.h"
#include "qt/Fonts.h"
#include "qt/Form1.h"
#include "patterns/Patterns.h"
#include "session/Picture.h"
#include "surface/RasterSurface.h"
#include "qt/VectorState.h"

#include "FrameRecorder.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace {

using kestivo::Form1;

std::string self;

long long clockNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

long long monotonicNs()
{
    return clockNs(CLOCK_MONOTONIC);
}

// Processor time of the whole process, every thread of it (Qt's own too).
long long processCpuNs()
{
    return clockNs(CLOCK_PROCESS_CPUTIME_ID);
}

void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs the event loop until done() holds, looked at every 50 ms, then lets
// it deliver what it still owes (the last frame's paint).
void runUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    look.start(50);
    if (!done())
        loop.exec();
    QCoreApplication::processEvents();
}

// Prints the clock and ends once the first paint of w is flushed.
struct FirstPaint : QObject {
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !seen) {
            seen = true;
            // The frame is flushed once this paint pass returns.
            QTimer::singleShot(0, [] {
                std::printf("%lld\n", monotonicNs());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }
    bool seen = false;
};

// The baseline: a bare Qt Widgets window of the same size with a label and
// a button, what any program on this toolkit and platform costs.
struct BareWindow {
    BareWindow()
    {
        window.resize(800, 552);
        label.setText(QStringLiteral("Kestivo1"));
        button.setText(QStringLiteral("OK"));
        button.move(300, 504);
    }
    QWidget window;
    QLabel label{&window};
    QPushButton button{&window};
};

// Child: start like Kestivo1 (or the bare window), print the clock when the
// first frame is out.
int childFirstFrame(int argc, char** argv, bool bare)
{
    QApplication app(argc, argv);
    FirstPaint watcher;
    if (bare) {
        BareWindow w;
        w.window.installEventFilter(&watcher);
        w.window.show();
        return app.exec();
    }
    kestivo::installFontSubstitutes();
    Form1 form;
    form.canvas().installEventFilter(&watcher);
    form.show();
    return app.exec();
}

// Child: a session drawing all three patterns, each once the last is shown,
// then ending; or the bare window shown until its first frame.
int childSession(int argc, char** argv, bool bare)
{
    QApplication app(argc, argv);
    if (bare) {
        BareWindow w;
        FirstPaint watcher;
        w.window.installEventFilter(&watcher);
        w.window.show();
        return app.exec() == 0 ? 0 : 1;
    }
    kestivo::installFontSubstitutes();
    Form1::Options o;
    o.session.pointsPerSecond = 0;
    Form1 form(o);
    form.show();
    const char* const buttons[] = {"CmdHwbk", "CmdHwty", "CmdSgxc"};
    std::size_t next = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (form.drawing())
            return;
        if (next == std::size(buttons))
            QCoreApplication::exit(0);
        else
            form.button(buttons[next++])->click();
    });
    driver.start(5);
    return app.exec();
}

struct Child {
    long long startedNs;
    std::string out;
    rusage usage;
    int status;
};

Child runChild(const char* mode)
{
    int fds[2];
    if (pipe(fds) != 0)
        std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string arg = std::string("--child=") + mode;
    char* args[] = {self.data(), arg.data(), nullptr};
    Child c{};
    c.startedNs = monotonicNs();
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), &actions, nullptr, args, environ) != 0)
        std::abort();
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char buf[256];
    ssize_t n = 0;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        c.out.append(buf, std::size_t(n));
    close(fds[0]);
    wait4(pid, &c.status, 0, &c.usage);
    return c;
}

// Start-up to the first frame, the program's next to the bare window's.
void BM_StartToFirstFrame(benchmark::State& state)
{
    double programMs = 1e9, bareMs = 1e9;
    for (auto _ : state) {
        const Child program = runChild("first-frame");
        const Child bare = runChild("bare-first-frame");
        const long long programNs = std::atoll(program.out.c_str());
        const long long bareNs = std::atoll(bare.out.c_str());
        if (programNs <= 0 || bareNs <= 0) {
            state.SkipWithError("a child showed no frame");
            return;
        }
        programMs = std::min(programMs, double(programNs - program.startedNs) * 1e-6);
        bareMs = std::min(bareMs, double(bareNs - bare.startedNs) * 1e-6);
        state.SetIterationTime(double(programNs - program.startedNs) * 1e-9);
    }
    state.counters["program_ms"] = programMs;
    state.counters["bare_qt_ms"] = bareMs;
    state.counters["ratio"] = programMs / bareMs;
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Peak resident memory: a session drawing all three patterns, next to the
// bare window shown.
void BM_SessionPeakMemory(benchmark::State& state)
{
    double programMb = 0, bareMb = 0;
    for (auto _ : state) {
        const Child program = runChild("session");
        const Child bare = runChild("bare-session");
        if (!WIFEXITED(program.status) || WEXITSTATUS(program.status) != 0 ||
            !WIFEXITED(bare.status) || WEXITSTATUS(bare.status) != 0) {
            state.SkipWithError("a session failed");
            return;
        }
        programMb = std::max(programMb, double(program.usage.ru_maxrss) / 1024.0);
        bareMb = std::max(bareMb, double(bare.usage.ru_maxrss) / 1024.0);
    }
    state.counters["program_peak_MB"] = programMb;
    state.counters["bare_qt_peak_MB"] = bareMb;
    state.counters["ratio"] = programMb / bareMb;
}
BENCHMARK(BM_SessionPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

// Shown and exposed, so that frames really reach the window system.
void showExposed(Form1& form)
{
    form.show();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((!form.windowHandle() || !form.windowHandle()->isExposed()) &&
           std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
}

// A pattern drawn in the window, clicked as the user clicks, and shown whole.
void drawShown(Form1& form, const char* button)
{
    form.button(button)->click();
    runUntil([&] { return !form.drawing(); });
}

// The paint events reaching a widget, timed.
struct Paints : QObject {
    explicit Paints(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            times.push_back(std::chrono::steady_clock::now());
        return false;
    }
    std::vector<std::chrono::steady_clock::time_point> times;
};

// Frames a second reaching the window while a pattern is drawn at the pace,
// and the longest wait between two.
void BM_PacedFramesPerSecond(benchmark::State& state)
{
    Form1 form;
    showExposed(form);
    Paints paints(&form.canvas());
    double fps = 0, worstMs = 0;
    for (auto _ : state) {
        drawShown(form, kestivo::layout::kCmdCls);
        paints.times.clear();
        const auto t0 = std::chrono::steady_clock::now();
        drawShown(form, kestivo::layout::kCmdHwbk); // about a second at the pace
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        fps = double(paints.times.size()) / seconds;
        for (std::size_t i = 1; i < paints.times.size(); ++i)
            worstMs = std::max(worstMs,
                               std::chrono::duration<double, std::milli>(paints.times[i] - paints.times[i - 1]).count());
        state.SetIterationTime(seconds);
    }
    state.counters["frames_per_second"] = fps;
    state.counters["worst_gap_ms"] = worstMs;
}
BENCHMARK(BM_PacedFramesPerSecond)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

struct PacedPattern {
    const char* name;
    const char* button;
    kestivo::Routine engine;
};

const PacedPattern kPaced[] = {
    {"DrawHwbk", kestivo::layout::kCmdHwbk, kestivo::DrawHwbk},
    {"DrawHwty", kestivo::layout::kCmdHwty, kestivo::DrawHwty},
    {"DrawSgxc", kestivo::layout::kCmdSgxc, kestivo::DrawSgxc},
};

std::vector<kestivo::DirtyRegion> framesOf(const Form1& form, const PacedPattern& p)
{
    return kestivo::bench::framesOf(p.button, form.picture().scale(), Form1::kFrameIntervalMs);
}

// A pattern's frames alone, presented on a clock like the window's and
// painted by the event loop: the processor time of the whole replay.
long long framesAloneNs(Form1& form, const std::vector<kestivo::DirtyRegion>& frames)
{
    std::size_t next = 0;
    QTimer clock;
    clock.setTimerType(Qt::PreciseTimer);
    clock.setInterval(Form1::kFrameIntervalMs);
    QObject::connect(&clock, &QTimer::timeout, [&] {
        if (next < frames.size())
            form.present(frames[next++]);
    });
    QCoreApplication::processEvents();
    const long long cpu0 = processCpuNs();
    clock.start();
    runUntil([&] { return next == frames.size(); });
    return processCpuNs() - cpu0;
}

// One pattern drawn at the program's pace in a shown window: the processor
// time of the whole process from the click until it is shown whole, next to
// its physical limit, the sum of
// - its frames alone: the regions its reveal presents, on the same clock, in
//   the same window (what no program showing it at this pace can avoid);
// - its routine once, unpaced, on a bare picture (the least its points cost).
// Also: the session alone (the routine recorded and revealed frame by frame
// with no window), what the pattern costs beyond the frames. Best of the
// iterations: other work on a shared machine only ever adds.
void BM_PacedCpu(benchmark::State& state, const PacedPattern* p)
{
    Form1 form;
    showExposed(form);
    const kestivo::RasterSurface& raster = form.picture().raster();
    const double dpi = 1440.0 / raster.scale().twipsPerPixel();
    const std::vector<kestivo::DirtyRegion> frames = framesOf(form, *p);
    double cpuMs = 1e9, wallMs = 0, engineMs = 1e9, framesMs = 1e9, sessionMs = 1e9;
    for (auto _ : state) {
        drawShown(form, kestivo::layout::kCmdCls);
        const long long cpu0 = processCpuNs(), wall0 = monotonicNs();
        drawShown(form, p->button);
        const long long cpu = processCpuNs() - cpu0, wall = monotonicNs() - wall0;
        state.SetIterationTime(double(wall) * 1e-9);
        if (double(cpu) * 1e-6 < cpuMs) {
            cpuMs = double(cpu) * 1e-6;
            wallMs = double(wall) * 1e-6;
        }
        kestivo::RasterSurface bare(raster.width(), raster.height(), dpi);
        kestivo::clearUpperVectorState(); // as the window does before a routine
        const long long engine0 = processCpuNs();
        p->engine(bare);
        engineMs = std::min(engineMs, double(processCpuNs() - engine0) * 1e-6);
        {
            kestivo::bench::FrameRecorder recorder;
            kestivo::Session session(recorder, form.picture().scale(), {});
            kestivo::clearUpperVectorState();
            const long long session0 = processCpuNs();
            recorder.reveal(session, p->button, Form1::kFrameIntervalMs);
            sessionMs = std::min(sessionMs, double(processCpuNs() - session0) * 1e-6);
        }
        framesMs = std::min(framesMs, double(framesAloneNs(form, frames)) * 1e-6);
    }
    state.counters["frames"] = double(frames.size());
    state.counters["paced_cpu_ms"] = cpuMs;
    state.counters["wall_ms"] = wallMs;
    state.counters["core_percent"] = 100 * cpuMs / wallMs;
    state.counters["engine_ms"] = engineMs;
    state.counters["frames_alone_ms"] = framesMs;
    state.counters["session_alone_ms"] = sessionMs;
    state.counters["limit_ms"] = framesMs + engineMs;
    state.counters["paced_per_limit"] = cpuMs / (framesMs + engineMs);
}

void BM_FrameCpu(benchmark::State& state, const PacedPattern* p)
{
    Form1 form;
    showExposed(form);
    const std::vector<kestivo::DirtyRegion> frames = framesOf(form, *p);
    double bestNs = 1e18, rects = 0, pixels = 0;
    for (const kestivo::DirtyRegion& frame : frames)
        for (const kestivo::PixelRect& r : frame) {
            ++rects;
            pixels += double(r.width) * r.height;
        }
    for (auto _ : state) {
        const long long wall0 = monotonicNs();
        bestNs = std::min(bestNs, double(framesAloneNs(form, frames)) / double(frames.size()));
        state.SetIterationTime(double(monotonicNs() - wall0) * 1e-9);
    }
    const double count = double(frames.size());
    state.counters["frames"] = count;
    state.counters["rects_per_frame"] = rects / count;
    state.counters["pixels_per_frame"] = pixels / count;
    state.counters["us_per_frame"] = bestNs * 1e-3;
    state.counters["core_percent"] = bestNs * 1e-7 * 1000 / Form1::kFrameIntervalMs;
}

} // namespace

int main(int argc, char** argv)
{
    self = argv[0];
    preferOffscreen();
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--child=first-frame" || mode == "--child=bare-first-frame")
        return childFirstFrame(argc, argv, mode == "--child=bare-first-frame");
    if (mode == "--child=session" || mode == "--child=bare-session")
        return childSession(argc, argv, mode == "--child=bare-session");

    QApplication app(argc, argv);
    kestivo::installFontSubstitutes();
    benchmark::AddCustomContext("platform", QGuiApplication::platformName().toStdString());
    for (const PacedPattern& p : kPaced)
        benchmark::RegisterBenchmark((std::string("BM_PacedCpu/") + p.name).c_str(), BM_PacedCpu, &p)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    for (const PacedPattern& p : kPaced)
        benchmark::RegisterBenchmark((std::string("BM_FrameCpu/") + p.name).c_str(), BM_FrameCpu, &p)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
