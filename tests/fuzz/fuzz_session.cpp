// libFuzzer target: the run rules of the core (Session) on a front-end with
// no window and a fake clock. The input is what the window system delivers:
// button clicks in any order, keys with any stamps and repeat flags, close
// requests, failures of the front-end's own paths, scale changes, the input
// clock and the clock moving, any pace; and, while a routine draws or an
// error is being reported, more of the same from the drawing calls, the
// frames, the round trip for input and the report itself.
//
// The rules checked: nothing draws once the session has ended; the exit
// status comes at most once, 0 or 1, and 1 exactly when a failure was
// injected (0 when a close was asked during the routine); a failure is
// reported at most once, before the exit; busy is off whenever a handler
// returns; clicks given during a routine run nothing; input is discarded
// while a routine runs and never when given after it; a held key's press
// reaches the window once; and a routine left to finish leaves exactly the
// engine's picture of the routines drawn since the last clear, also after a
// scale change.
//
// Patterns make a million drawing calls each, so an input's routines are
// cut short by a budget of calls, frames and pixels: when it runs out the
// routine is stopped by a failure or a close request, which the rules above
// cover as any other. A few routines an input may leave to finish.

#include "patterns/RuntimeError.h"
#include "session/Commands.h"
#include "session/FrontEnd.h"
#include "qt/HeldKeys.h"
#include "session/Session.h"
#include "support/FakeClock.h"
#include "support/Surfaces.h"

#include "FuzzInput.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

using namespace kestivo;
using fuzz::require;
using namespace std::chrono_literals;

namespace {

// Loops over whole pictures: coverage feedback from them would only slow
// the search.
#define KESTIVO_UNCOVERED __attribute__((no_sanitize("coverage")))

struct Reader : fuzz::ByteReader {
    using ByteReader::ByteReader;

    // Any bits, or a value a screen or the command line might give.
    double real(std::initializer_list<double> likely)
    {
        const std::uint8_t tag = byte();
        if (tag % 4 == 0)
            return std::bit_cast<double>(dword());
        return likely.begin()[tag / 4 % likely.size()];
    }
};

constexpr std::array<Routine, 3> kPatterns{DrawHwbk, DrawHwty, DrawSgxc};
constexpr int kCls = 3;

// What the input may spend.
constexpr long long kCalls = 50'000;
constexpr long long kFrames = 3'000;
constexpr long long kPixels = 1LL << 25; // one picture at the largest scale
constexpr int kHeavy = 3; // patterns drawn whole: finishing, redraws, checks

struct Run;

// A front-end with no window: it checks what the session asks of it, and
// lets the input act while a routine runs or an error is reported.
class Window final : public FrontEnd {
public:
    explicit Window(Run& run) : run_(run) {}

    void present(const DirtyRegion& dirty) override;
    void paintBetweenFrames() override;
    void flushInput() override;
    void showBusy(bool on) override;
    void reportError(const std::string& title, const std::string& message) override;
    void exit(int status) override;
    void later(std::function<void()> task) override { tasks.push_back(std::move(task)); }
    std::uint32_t inputClockMs() override;

    // The event loop's turn: what was left for later.
    void runLater()
    {
        for (auto due = std::exchange(tasks, {}); auto& t : due)
            t();
    }

    std::vector<std::function<void()>> tasks;
    std::uint32_t clockMs = 0;
    bool busyShown = false;
    int reports = 0;
    int exits = 0;
    int status = -1;

private:
    Run& run_;
};

// Between the handlers and the screen: counts the calls, spends the budget,
// and lets the input act at chosen calls.
class Tap final : public test::ForwardingSurface {
public:
    Tap(Run& run, DrawingSurface& screen) : ForwardingSurface(&screen), run_(run) {}

private:
    Status handle(const test::Call& call) override;
    Run& run_;
};

enum class Where { Call, Frame, Paint, Flush, Report };

struct Run {
    Run(const std::uint8_t* data, std::size_t size) : in{data, size} {}

    Reader in;
    test::FakeClock clock;
    Window window{*this};
    std::unique_ptr<Session> session;

    long long calls = 0, frames = 0, pixels = kPixels, callsLeft = kCalls;
    int heavy = kHeavy;
    bool finished = false; // a pattern was left to finish

    // The routine running now.
    bool unlimited = false;
    long long routineLeft = 0;
    bool stopByClose = false;
    bool stopAsked = false;
    Clock::Duration stepPerCall{};
    long long nextEventCall = 0, nextEventFrame = 0;
    bool paintEvent = false, flushEvent = false;
    bool failureInjected = false, closeAsked = false;

    // A failure given outside any routine, waiting for its report.
    bool failurePending = false;
    bool closed = false;

    // The input rule: the input clock when the last routine ended.
    bool armed = false;
    std::uint32_t endMs = 0;

    // Keys whose press reached the window and that have not been let go.
    std::array<bool, 4> keyDown{};
    // The Qt front-end's account of X11's repeats, over the session's input rule.
    HeldKeys keys;

    // Routines drawn whole since the last clear, for the engine's picture.
    std::vector<int> drawn;

    Session& s() { return *session; }
    long long pictureArea() const
    {
        return (long long)session->picture().raster().width() * session->picture().raster().height();
    }

    void event(Where where);
    void command();
    void turn();
    void click(int handler);
    void key(int kind, bool mayClick);
    std::optional<std::uint64_t> stamp();
    void checkInputRule(std::optional<std::uint64_t> stamp, bool discards);
    void failLater();
    void adoptScale(bool during);
    void checkPicture();
    static std::exception_ptr failure(int kind);
    [[noreturn]] void fail(int kind);
    void stop();
};

void Window::present(const DirtyRegion& dirty)
{
    require(!run_.s().ended());
    const RasterSurface& raster = run_.s().picture().raster();
    require(!dirty.empty());
    for (const PixelRect& r : dirty)
        require(!r.empty() && r.x >= 0 && r.y >= 0 && r.x + r.width <= raster.width() &&
                r.y + r.height <= raster.height());
}

void Window::paintBetweenFrames()
{
    require(run_.s().busy());
    if (std::exchange(run_.paintEvent, false))
        run_.event(Where::Paint);
}

void Window::flushInput()
{
    require(run_.s().busy());
    if (run_.flushEvent)
        run_.event(Where::Flush);
}

void Window::showBusy(bool on)
{
    busyShown = on;
    if (on)
        run_.armed = false;
}

void Window::reportError(const std::string&, const std::string& message)
{
    require(reports++ == 0 && exits == 0 && !message.empty());
    // The box's own event loop: clicks, keys and more failures meanwhile.
    for (int n = run_.in.byte() % 4; n > 0; --n)
        run_.event(Where::Report);
}

void Window::exit(int s)
{
    require(exits++ == 0 && (s == 0 || s == 1));
    status = s;
}

// Read while busy only when the routine has made its last call.
std::uint32_t Window::inputClockMs()
{
    if (run_.s().busy()) {
        run_.armed = true;
        run_.endMs = clockMs;
    }
    return clockMs;
}

Status Tap::handle(const test::Call& call)
{
    Run& r = run_;
    require(!r.s().ended() && r.s().busy());
    ++r.calls;
    r.clock.advance(r.stepPerCall);
    if (call.op == test::Op::Cls) {
        r.pixels -= r.pictureArea();
    } else if (call.op == test::Op::Line) {
        // The box's clipped area.
        const RasterSurface& raster = r.s().picture().raster();
        const double k = raster.scale().pixelsPerTwip();
        const double w = std::min(std::fabs(double(call.x2) - call.x1) * k + 1, double(raster.width()));
        const double h = std::min(std::fabs(double(call.y2) - call.y1) * k + 1, double(raster.height()));
        if (w > 0 && h > 0)
            r.pixels -= (long long)(w * h);
    }
    // Before acting on the session, the points before this one are drawn.
    if (!r.unlimited && (--r.routineLeft < 0 || --r.callsLeft < 0)) {
        (void)sendHeld();
        r.stop();
    }
    if (r.pixels < 0) {
        (void)sendHeld();
        r.fail(0);
    }
    if (r.calls == r.nextEventCall) {
        const std::uint8_t how = r.in.byte();
        if (how % 8 == 0) {
            r.failureInjected = true;
            return Status::Failed;
        }
        (void)sendHeld();
        r.event(Where::Call);
        r.nextEventCall = r.calls + r.in.half();
    }
    return forward(call);
}

// The budget is spent: stopped by a close request (the routine ends at its
// next frame, which a moving clock brings) or by a failure.
void Run::stop()
{
    if (stopByClose && !stopAsked) {
        stopAsked = true;
        closeAsked = true;
        require(!s().requestClose());
        stepPerCall = 10ms;
        return;
    }
    if (routineLeft < -5000 || !stopByClose)
        fail(0);
}

std::exception_ptr Run::failure(int kind)
{
    switch (kind % 4) {
    case 0:
        return std::make_exception_ptr(std::runtime_error("stopped"));
    case 1:
        return std::make_exception_ptr(std::bad_alloc());
    case 2:
        return std::make_exception_ptr(DrawingError("Paint"));
    default:
        return std::make_exception_ptr(7);
    }
}

[[noreturn]] void Run::fail(int kind)
{
    failureInjected = true;
    std::rethrow_exception(failure(kind));
}

// A failure of the front-end's own (or none: a null one is ignored).
void Run::failLater()
{
    const std::uint8_t kind = in.byte();
    const std::exception_ptr given = kind & 4 ? nullptr : failure(kind);
    const bool counts = given && !s().ended();
    s().failLater(given);
    if (counts && s().busy())
        failureInjected = true;
    else if (counts)
        failurePending = true;
}

std::optional<std::uint64_t> Run::stamp()
{
    switch (in.byte() % 5) {
    case 0:
        return std::nullopt;
    case 1:
        return in.dword();
    case 2:
        return endMs + std::int8_t(in.byte());
    default:
        return window.clockMs + std::int8_t(in.byte());
    }
}

// While busy everything is discarded; after a routine, input given after its
// end never is, and input given before it, a second ago at most, always is.
void Run::checkInputRule(std::optional<std::uint64_t> stamp, bool discards)
{
    if (s().busy())
        return require(discards);
    if (!stamp || !armed)
        return require(!discards);
    const auto given = std::uint32_t(*stamp);
    if (std::int32_t(given - endMs) > 0)
        require(!discards);
    else if (std::uint32_t(window.clockMs - given) <= 1000)
        require(discards);
}

// A key event; a delivered one may click a button, as Space and Enter do.
void Run::key(int kind, bool mayClick)
{
    const int k = in.byte() % 4;
    const bool repeat = in.byte() % 4 == 0;
    std::optional<std::uint64_t> when = stamp();
    bool delivered = false;
    if (kind == 0) {
        const bool discards = s().discardsInput(when);
        const HeldKeys::Verdict v = keys.press(k, repeat, discards);
        require(v != HeldKeys::Verdict::HoldBack);
        if (v == HeldKeys::Verdict::Deliver) {
            // Once until the key is let go.
            require(!discards && !repeat && !keyDown[k]);
            keyDown[k] = delivered = true;
        }
    } else if (kind == 1) {
        const std::uint64_t at = when.value_or(window.clockMs);
        const bool discards = s().discardsInput(at);
        const HeldKeys::Verdict v = keys.release(k, std::uint32_t(at), repeat, discards);
        require(!(repeat && v != HeldKeys::Verdict::Discard));
        require(!(v == HeldKeys::Verdict::Deliver && discards));
        delivered = v == HeldKeys::Verdict::Deliver;
    } else {
        const bool press = in.byte() % 2;
        delivered = keys.settle(k, press ? std::optional(std::uint32_t(when.value_or(0))) : std::nullopt);
        keyDown[k] = false; // let go, or still held and then no press gets through
    }
    if (delivered && mayClick && in.byte() % 2)
        click(in.byte() % 5);
}

void Run::adoptScale(bool during)
{
    const double scale =
        in.real({1.0, 2.0, 1.5, 0.25, 8.0, 0.0, -1.0, NAN, INFINITY, 1.25, 0.1, 3.0, 1e-300});
    // A redraw draws every pattern of the picture, and during a routine the
    // routine's own too.
    const auto& routines = s().picture().routines();
    const int cost = int(std::count_if(routines.begin(), routines.end(), [](Routine r) {
                         return std::find(kPatterns.begin(), kPatterns.end(), r) != kPatterns.end();
                     })) +
                     (during ? 1 : 0);
    const double kept = std::isnan(scale) || !(scale > 0) ? 1.0 : std::clamp(scale, 0.25, 8.0);
    const long long area = (long long)(441'600 * kept * kept);
    if (cost > heavy || area > pixels)
        return;
    heavy -= cost;
    pixels -= area;
    s().picture().adoptScale(scale);
    // Once ended, what a stopped routine left is no concern.
    if (!during && !s().ended() && heavy >= int(drawn.size()))
        checkPicture();
}

KESTIVO_UNCOVERED std::uint64_t hashOf(const RasterSurface& r)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    const std::uint32_t* p = r.pixels();
    for (std::size_t i = 0, n = std::size_t(r.width()) * std::size_t(r.height()); i < n; ++i)
        h = (h ^ p[i]) * 0x100000001b3ull;
    return h;
}

// What the session's picture holds is the engine's own drawing of the same
// routines at the same size and scale. Inputs ask for the same few pictures
// over and over, so the engine draws each once, for all of them.
void Run::checkPicture()
{
    const RasterSurface& picture = s().picture().raster();
    using Key = std::tuple<int, int, double, std::vector<int>>;
    static std::map<Key, std::uint64_t> engineHashes;
    const Key key{picture.width(), picture.height(), picture.scale().twipsPerPixel(), drawn};
    auto known = engineHashes.find(key);
    if (known == engineHashes.end()) {
        heavy -= int(drawn.size());
        pixels -= pictureArea();
        RasterSurface engine = test::rasterLike(picture);
        for (int r : drawn)
            kPatterns[std::size_t(r)](engine);
        require(engine.scale().twipsPerPixel() == picture.scale().twipsPerPixel());
        known = engineHashes.emplace(key, hashOf(engine)).first;
    }
    require(hashOf(picture) == known->second);
}

// What happens while a routine draws or an error is reported.
void Run::event(Where where)
{
    switch (in.byte() % 12) {
    case 0: {
        // A click that reached a handler: it runs nothing.
        const long long callsBefore = calls;
        const int exitsBefore = window.exits;
        const std::size_t handler = in.byte() % kCommands.size();
        s().click(kCommands[handler].button);
        require(calls == callsBefore && window.exits == exitsBefore);
        break;
    }
    case 1:
    case 2:
    case 3:
        key(in.byte() % 3, false);
        break;
    case 4: {
        const std::optional<std::uint64_t> when = stamp();
        checkInputRule(when, s().discardsInput(when));
        break;
    }
    case 5: {
        // Refused during a routine (which ends at its next frame), and once
        // a failure or an exit has ended the session.
        const bool busy = s().busy(), ended = s().ended();
        require(s().requestClose() == (!busy && !ended));
        closeAsked |= busy && !ended;
        break;
    }
    case 6:
        failLater();
        break;
    case 7:
        adoptScale(s().busy());
        break;
    case 8:
        clock.advance(std::chrono::nanoseconds(in.word()) * (1 + in.byte() % 64));
        break;
    case 9:
        window.clockMs += in.word();
        break;
    case 10:
        // The front-end's paint or resize path fails.
        if (where != Where::Report || in.byte() % 2)
            fail(in.byte());
        break;
    default:
        // Toolkit code between points leaves flags set; no fault of the routine's.
        std::feraiseexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
        break;
    }
}

// A button's handler, on a routine of a budget the input chooses.
void Run::click(int handler)
{
    const std::uint8_t limit = in.byte();
    // One pattern an input may leave to finish; clearing is cheap.
    unlimited = limit == 255 && (handler == kCls || (!finished && heavy > 0));
    if (unlimited && handler != kCls) {
        finished = true;
        --heavy;
    }
    routineLeft = limit * limit / 4;
    stopByClose = in.byte() % 2;
    stopAsked = false;
    stepPerCall = std::chrono::nanoseconds(in.byte() % 4 == 0 ? 0 : 1LL << (in.byte() % 24));
    nextEventCall = calls + in.half();
    nextEventFrame = frames + in.byte();
    flushEvent = in.byte() % 2;
    paintEvent = false;
    failureInjected = closeAsked = false;

    const bool runs = !s().ended();
    const int exitsBefore = window.exits;
    const long long callsBefore = calls;
    try {
        s().click(kCommands[std::size_t(handler)].button);
    } catch (...) {
        require(false); // nothing escapes a handler
    }
    require(!s().busy() && !window.busyShown);
    if (!runs) {
        require(calls == callsBefore && window.exits == exitsBefore);
        return;
    }
    if (handler == 4) {
        require(window.exits == 1 && window.status == 0);
        return;
    }
    if (failureInjected) {
        require(window.exits == 1 && window.status == 1 && window.reports == 1);
        return;
    }
    if (closeAsked) {
        require(window.exits == 1 && window.status == 0 && window.reports == 0);
        return;
    }
    // Finished: the picture holds the routine.
    require(window.exits == 0 && window.reports == 0);
    if (handler == kCls)
        drawn.clear();
    else
        drawn.push_back(handler);
    if (unlimited && heavy >= int(drawn.size()) && pictureArea() * 2 <= pixels)
        checkPicture();
}

// The event loop's turn: a failure given outside a routine is reported now.
void Run::turn()
{
    const int exitsBefore = window.exits;
    window.runLater();
    if (failurePending && exitsBefore == 0)
        require(window.exits == 1 && window.status == 1 && window.reports == 1);
    failurePending = false;
}

void Run::command()
{
    switch (in.byte() % 16) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
        return click(in.byte() % 5);
    case 5:
    case 6:
    case 7:
        return key(in.byte() % 3, true);
    case 8:
        return keys.clear(), keyDown.fill(false);
    case 9: {
        const std::optional<std::uint64_t> when = stamp();
        return checkInputRule(when, s().discardsInput(when));
    }
    case 10:
        window.clockMs += in.word();
        return;
    case 11:
        clock.advance(std::chrono::nanoseconds(in.word()) * (1 + in.byte() % 64));
        return;
    case 12:
        return failLater();
    case 13:
        return turn();
    case 14:
        try {
            adoptScale(false);
        } catch (...) {
            require(false); // no scale within the range fails to allocate here
        }
        return;
    default:
        // Not busy: the window may close (the program then ends), unless
        // the session has ended, when its status stands.
        require(s().requestClose() == !s().ended());
        closed = true;
        in.at = in.size;
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Run run(data, size);
    Session::Options options;
    options.pointsPerSecond = run.in.real({0.0, 1e6, 1e9, 1.0, 1000.0, 60.0, 1e-3, -1.0, NAN, INFINITY, 5e-324});
    options.clock = &run.clock;
    options.decorate = [&run](DrawingSurface& screen) { return std::make_unique<Tap>(run, screen); };
    const double scale = run.in.real({1.0, 2.0, 1.5, 1.25, 0.25, 3.0, 0.0, NAN, -2.0, 1e300});
    run.session = std::make_unique<Session>(run.window, scale, std::move(options));
    run.pixels -= run.pictureArea();
    run.s().surface().onFrame = [&run] {
        ++run.frames;
        if (run.frames > kFrames)
            run.fail(0);
        // An event now, or in the repaint that follows.
        if (run.frames == run.nextEventFrame) {
            const std::uint8_t where = run.in.byte();
            if (where % 2)
                run.paintEvent = true;
            else
                run.event(Where::Frame);
            run.nextEventFrame = run.frames + where / 2;
        }
    };
    while (run.in.more())
        run.command();
    if (!run.closed)
        run.turn();
    return 0;
}
