// The window's figures: time from process start to the first frame, peak
// resident memory of a session that draws all three patterns, and frames a
// second during paced drawing. Runs on the offscreen platform unless
// QT_QPA_PLATFORM or DISPLAY says otherwise (run it under Xvfb for X11).
//
// The first two start a child process (this program with --child=...) that
// does what Kestivo1's main does, so that loading Qt counts as it does for
// the real program.

#include "Canvas.h"
#include "Fonts.h"
#include "Form1.h"
#include "ScreenSurface.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

extern char** environ;

namespace {

using kestivo::Form1;

std::string self;

long long monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Child: start like Kestivo1, print the clock when the first frame is out.
int childFirstFrame(int argc, char** argv)
{
    QApplication app(argc, argv);
    kestivo::installFontSubstitutes();
    Form1 form;
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
    } watcher;
    form.canvas().installEventFilter(&watcher);
    form.show();
    return app.exec();
}

// Child: a session drawing all three patterns, then ending.
int childSession(int argc, char** argv)
{
    QApplication app(argc, argv);
    kestivo::installFontSubstitutes();
    Form1::Options o;
    o.pointsPerSecond = 0;
    Form1 form(o);
    form.show();
    QTimer::singleShot(0, [&] {
        for (const char* b : {"CmdHwbk", "CmdHwty", "CmdSgxc"})
            form.button(b)->click();
        QCoreApplication::exit(0);
    });
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

void BM_StartToFirstFrame(benchmark::State& state)
{
    for (auto _ : state) {
        const Child c = runChild("first-frame");
        const long long frameNs = std::atoll(c.out.c_str());
        if (frameNs <= 0) {
            state.SkipWithError("the child showed no frame");
            return;
        }
        state.SetIterationTime(double(frameNs - c.startedNs) * 1e-9);
    }
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SessionPeakMemory(benchmark::State& state)
{
    double peakMb = 0;
    for (auto _ : state) {
        const Child c = runChild("session");
        if (!WIFEXITED(c.status) || WEXITSTATUS(c.status) != 0) {
            state.SkipWithError("the session failed");
            return;
        }
        peakMb = std::max(peakMb, double(c.usage.ru_maxrss) / 1024.0);
    }
    state.counters["peak_rss_MB"] = peakMb;
}
BENCHMARK(BM_SessionPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PacedFramesPerSecond(benchmark::State& state)
{
    Form1 form;
    form.show();
    QCoreApplication::processEvents();
    double fps = 0;
    for (auto _ : state) {
        int frames = 0;
        form.surface().onFrame = [&] { ++frames; };
        const auto t0 = std::chrono::steady_clock::now();
        form.CmdHwbk_Click(); // about a second at the paced rate
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        fps = frames / seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["frames_per_second"] = fps;
}
BENCHMARK(BM_PacedFramesPerSecond)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv)
{
    self = argv[0];
    preferOffscreen();
    if (argc > 1 && std::strcmp(argv[1], "--child=first-frame") == 0)
        return childFirstFrame(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--child=session") == 0)
        return childSession(argc, argv);

    QApplication app(argc, argv);
    kestivo::installFontSubstitutes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
