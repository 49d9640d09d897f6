// libFuzzer target: the run rules of the core (Session) on a front-end with
// no window. The input is what the window system delivers: button clicks in
// any order, keys with any stamps and repeat flags, close requests, failures
// of the front-end's own paths, scale changes, the input clock moving,
// frames at any times (stalls and clocks stepping back included), any pace,
// and dismissals of an error's report; and, while a routine draws, failures
// of its drawing calls.
//
// The rules checked: nothing is presented once a report is up or the
// program has ended; the exit status comes at most once, 0 or 1, and 1
// exactly when a failure was given (0 when a close was asked during a
// reveal); a failure is reported at most once, before the exit; the busy
// state is shown exactly while a routine is revealed, and the frame clock
// runs only while there is something to show or report, so an idle window
// uses no time; clicks given during a reveal run nothing; input is
// discarded while a routine is shown and never when given after it; a held
// key's press reaches the window once; and a routine left to finish leaves
// exactly the engine's picture of the routines drawn since the last clear,
// also after a scale change, before or during its reveal.
//
// Patterns make a million drawing calls each, so an input's routines are
// cut short by a budget of calls: when it runs out the routine fails, which
// the rules above cover as any other. A few routines an input may leave to
// finish.

#include "patterns/RuntimeError.h"
#include "form/Commands.h"
#include "session/FrontEnd.h"
#include "session/Session.h"
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
#include <vector>

using namespace kestivo;
using fuzz::require;

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
constexpr int kExit = 4;

// What the input may spend.
constexpr long long kCalls = 50'000;
constexpr long long kFrames = 3'000;
constexpr long long kPixels = 1LL << 25; // one picture at the largest scale
constexpr int kHeavy = 3;                // patterns drawn whole: finishing, redraws, checks

struct Run;

// A front-end with no window: it checks what the session asks of it.
class Window final : public FrontEnd {
public:
    explicit Window(Run& run) : run_(run) {}

    void present(const DirtyRegion& dirty) override;
    void showBusy(bool on) override;
    void reportError(const std::string& title, const std::string& message) override;
    void exit(int status) override;
    void runFrames(bool on) override { framesOn = on; }
    std::uint32_t inputClockMs() override;

    std::uint32_t clockMs = 0;
    bool busyShown = false;
    bool framesOn = false;
    int reports = 0;
    int exits = 0;
    int status = -1;

private:
    Run& run_;
};

// Between the handlers and the recording: counts the calls, spends the
// budget, and fails chosen calls.
class Tap final : public test::ForwardingSurface {
public:
    Tap(Run& run, DrawingSurface& recording) : ForwardingSurface(&recording), run_(run) {}

private:
    Status handle(const test::Call& call) override;
    Run& run_;
};

struct Run {
    Run(const std::uint8_t* data, std::size_t size) : in{data, size} {}

    Reader in;
    Window window{*this};
    std::unique_ptr<Session> session;

    long long calls = 0, frames = 0, pixels = kPixels, callsLeft = kCalls;
    int heavy = kHeavy;
    bool finished = false; // a pattern was left to finish

    // The routine of the last click.
    int routine = -1;
    bool unlimited = false;
    long long routineLeft = 0;
    long long failAtCall = -1;
    bool routineFailed = false;  // a failure it met, reported if its reveal reaches it
    bool closeAsked = false;     // during its reveal
    bool frontEndFailed = false; // a failure given before the session ended

    // The input rule: the input clock when the last reveal ended.
    bool armed = false;
    std::uint32_t endMs = 0;

    // Keys whose press reached the form and that have not been let go.
    std::array<bool, 4> keyDown{};

    // Routines shown whole since the last clear, for the engine's picture.
    std::vector<int> drawn;

    Session& s() { return *session; }
    long long pictureArea() const
    {
        return (long long)session->picture().raster().width() * session->picture().raster().height();
    }

    void command();
    void checkState();
    void click(int handler);
    void frame();
    void key(int kind, bool mayClick);
    std::optional<std::uint64_t> stamp();
    void checkInputRule(std::optional<std::uint64_t> stamp, bool discards);
    void failFrontEnd();
    void rescale();
    void checkPicture();
    static std::exception_ptr failure(int kind);
};

void Window::present(const DirtyRegion& dirty)
{
    require(exits == 0 && (reports == 0 || !run_.s().busy()));
    const RasterSurface& raster = run_.s().picture().raster();
    require(!dirty.empty());
    for (const PixelRect& r : dirty)
        require(!r.empty() && r.x >= 0 && r.y >= 0 && r.x + r.width <= raster.width() &&
                r.y + r.height <= raster.height());
}

void Window::showBusy(bool on)
{
    require(on != busyShown && exits == 0);
    busyShown = on;
    if (on)
        run_.armed = false;
}

void Window::reportError(const std::string&, const std::string& message)
{
    require(reports++ == 0 && exits == 0 && !message.empty() && !busyShown);
    // A box that waits is dismissed from within; one that does not, later.
    if (run_.in.byte() % 2)
        run_.s().errorDismissed();
}

void Window::exit(int s)
{
    require(exits++ == 0 && (s == 0 || s == 1) && !busyShown);
    status = s;
}

// Read while busy only when the reveal ends.
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
    require(r.s().busy() && !r.s().ended());
    ++r.calls;
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
    if (r.calls == r.failAtCall) {
        r.routineFailed = true;
        return Status::Failed;
    }
    if ((!r.unlimited && (--r.routineLeft < 0 || --r.callsLeft < 0)) || r.pixels < 0) {
        r.routineFailed = true;
        std::rethrow_exception(Run::failure(r.in.byte()));
    }
    return forward(call);
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

// After every entry: busy is shown exactly while a routine is revealed, the
// frame clock runs only when there is something to show or report, and the
// status is the one the input earned: 1 after a report, which only a
// failure brings, and always after a front-end's failure.
void Run::checkState()
{
    require(window.busyShown == s().busy());
    if (!s().busy() && !s().ended())
        require(!window.framesOn);
    if (window.exits > 0) {
        require(!window.framesOn && (window.status == 1) == (window.reports == 1));
        require(window.status == 0 || frontEndFailed || routineFailed);
        require(window.status == 1 || !frontEndFailed);
    }
}

// A failure of the front-end's own (or none: a null one is ignored).
void Run::failFrontEnd()
{
    const std::uint8_t kind = in.byte();
    const std::exception_ptr given = kind & 4 ? nullptr : failure(kind);
    if (given && !s().ended())
        frontEndFailed = true; // its report comes first, whatever close was asked
    s().fail(given);
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
    if (s().ended())
        return; // nothing runs any more
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

// A key event, as a front-end passes it on with the focus on a button; a
// click it asks for is made, as the front-end's button would.
void Run::key(int kind, bool mayClick)
{
    using Do = KeyAction::Do;
    const int k = in.byte() % 4;
    const bool repeat = in.byte() % 4 == 0;
    const char* focused = in.byte() % 8 ? kCommands[in.byte() % kCommands.size()].button : nullptr;
    std::optional<std::uint64_t> when = stamp();
    KeyAction a;
    if (kind < 2) {
        const KeyEvent e{KeyEvent::Key(k), k, kind == 0, repeat, in.byte() % 2 == 0, in.byte() % 8 == 0, when};
        const bool discards = s().ended() || s().discardsInput(when);
        a = s().key(e, focused);
        if (kind == 0) {
            require(a.what != Do::HoldBack && a.what != Do::Release);
            if (a.what != Do::Pass && a.what != Do::Swallow) {
                // Once until the key is let go, and never while discarded.
                require(!discards && !repeat && !keyDown[std::size_t(k)]);
                keyDown[std::size_t(k)] = true;
            }
        } else {
            require(!(repeat && a.what != Do::Swallow));
            require(!(a.what == Do::Click && discards));
        }
    } else {
        const bool press = in.byte() % 2;
        a = s().settleKey(k, press ? std::optional<std::uint64_t>(when.value_or(0)) : std::nullopt, focused);
        keyDown[std::size_t(k)] = false; // let go, or still held and then no press gets through
    }
    if (a.what == Do::Click) {
        require(a.button != nullptr);
        if (mayClick && in.byte() % 2)
            click(int(findCommand(a.button) - kCommands.data()));
    }
}

void Run::rescale()
{
    const double scale =
        in.real({1.0, 2.0, 1.5, 0.25, 8.0, 0.0, -1.0, NAN, INFINITY, 1.25, 0.1, 3.0, 1e-300});
    // A redraw draws every pattern of the picture, and the reveal so far.
    const auto& routines = s().picture().routines();
    const int cost = int(std::count_if(routines.begin(), routines.end(), [](Routine r) {
                         return std::find(kPatterns.begin(), kPatterns.end(), r) != kPatterns.end();
                     })) +
                     (s().busy() ? 1 : 0);
    const double kept = std::isnan(scale) || !(scale > 0) ? 1.0 : std::clamp(scale, 0.25, 8.0);
    const long long area = (long long)(441'600 * kept * kept);
    if (cost > heavy || area > pixels)
        return;
    heavy -= cost;
    pixels -= area;
    s().rescale(scale);
    // Once ended, what a cut-short routine left is no concern.
    if (!s().busy() && !s().ended() && heavy >= int(drawn.size()))
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
        known = engineHashes.emplace(key, hashOf(engine)).first;
    }
    require(hashOf(picture) == known->second);
}

// A button's handler: its routine runs to its end (or its budget) at once.
void Run::click(int handler)
{
    const bool runs = !s().busy() && !s().ended();
    const int exitsBefore = window.exits;
    const long long callsBefore = calls;
    if (runs) {
        const std::uint8_t limit = in.byte();
        // One pattern an input may leave to finish; clearing is cheap.
        unlimited = limit == 255 && (handler == kCls || (!finished && heavy > 0));
        if (unlimited && handler != kCls) {
            finished = true;
            --heavy;
        }
        routineLeft = limit * limit / 4;
        failAtCall = in.byte() % 8 == 0 ? calls + 1 + in.half() : -1;
        routineFailed = closeAsked = false;
        routine = handler;
    }
    s().click(kCommands[std::size_t(handler)].button);
    if (!runs) {
        require(calls == callsBefore && window.exits == exitsBefore);
        return;
    }
    if (handler == kExit) {
        require(window.exits == 1 && window.status == 0);
        return;
    }
    require(s().ended() || (s().busy() && window.framesOn)); // shown by the frames to come
}

// A tick of the frame clock, at a time the input chooses.
void Run::frame()
{
    if (!window.framesOn || ++frames > kFrames)
        return;
    const std::uint8_t how = in.byte();
    window.clockMs += how % 4 == 0 ? in.half() : how % 4 == 1 ? std::uint32_t(-std::int8_t(in.byte())) : 16u + how % 2;
    const bool wasBusy = s().busy();
    const int exitsBefore = window.exits, reportsBefore = window.reports;
    s().frame(double(window.clockMs) + (how >> 4) / 16.0);
    if (!wasBusy || s().busy())
        return;
    // The reveal ended here: whole, closed or failed.
    if (window.reports > reportsBefore) {
        require(routineFailed || frontEndFailed);
        return;
    }
    if (window.exits > exitsBefore) {
        require(window.status == 0 && closeAsked);
        return;
    }
    require(!routineFailed);
    if (routine == kCls)
        drawn.clear();
    else
        drawn.push_back(routine);
    if (unlimited && heavy >= int(drawn.size()) && pictureArea() * 2 <= pixels)
        checkPicture();
}

void Run::command()
{
    switch (in.byte() % 16) {
    case 0:
    case 1:
    case 2:
        return click(in.byte() % 5);
    case 3:
    case 4:
    case 5:
    case 6:
        for (int n = 1 + in.byte() % 64; n > 0; --n)
            frame();
        return;
    case 7:
    case 8:
        return key(in.byte() % 3, true);
    case 9:
        return s().keyboardLost(), keyDown.fill(false);
    case 10: {
        const std::optional<std::uint64_t> when = stamp();
        return checkInputRule(when, s().discardsInput(when));
    }
    case 11:
        window.clockMs += in.word();
        return;
    case 12:
        return failFrontEnd();
    case 13:
        return rescale();
    case 14:
        // The report, if up, dismissed.
        return s().errorDismissed();
    default: {
        // Idle: the window may close (the program then ends); during a
        // reveal it ends at the next frame; once the session has ended its
        // status stands.
        const bool busy = s().busy(), ended = s().ended();
        const bool closes = s().requestClose();
        require(closes == (!busy && !ended));
        if (closes) {
            in.at = in.size;
            return;
        }
        closeAsked |= busy;
        return;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Run run(data, size);
    Session::Options options;
    options.pointsPerSecond = run.in.real({0.0, 1e6, 1e9, 1.0, 1000.0, 60.0, 1e-3, -1.0, NAN, INFINITY, 5e-324});
    options.decorate = [&run](DrawingSurface& recording) { return std::make_unique<Tap>(run, recording); };
    options.pairedKeyRepeats = run.in.byte() % 2;
    const double scale = run.in.real({1.0, 2.0, 1.5, 1.25, 0.25, 3.0, 0.0, NAN, -2.0, 1e300});
    run.session = std::make_unique<Session>(run.window, scale, std::move(options));
    run.pixels -= run.pictureArea();
    while (run.in.more()) {
        run.command();
        run.checkState();
        // Toolkit code between events leaves flags set; no fault of the routines'.
        std::feraiseexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    }
    return 0;
}
