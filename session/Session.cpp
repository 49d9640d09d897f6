#include "session/Session.h"

#include "patterns/StatusCheck.h"
#include "session/Commands.h"
#include "session/ErrorText.h"
#include "session/FrontEnd.h"
#include "session/Product.h"
#include "session/Texts.h"
#include "session/Layout.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

namespace kestivo {

namespace {
const TwipsScale kLogicalScale(layout::kLogicalDpi);

void clearPicture(DrawingSurface& surface)
{
    checkStatus(surface.Cls(), "Cls");
}

// Unwinds a routine that a close request abandons.
struct Abandoned {};
} // namespace

Session::Session(FrontEnd& frontEnd, double scale, Options options)
    : frontEnd_(frontEnd),
      ownClock_(options.clock ? nullptr : std::make_unique<SteadyClock>()),
      picture_(layout::pictureSize(kLogicalScale).width, layout::pictureSize(kLogicalScale).height,
               layout::kLogicalDpi, scale),
      surface_(picture_, options.clock ? *options.clock : *ownClock_, options.pointsPerSecond,
               [&frontEnd](const DirtyRegion& dirty) { frontEnd.present(dirty); }),
      decorated_(options.decorate ? options.decorate(surface_) : nullptr),
      target_(decorated_ ? decorated_.get() : &surface_),
      gate_([&frontEnd] { return frontEnd.inputClockMs(); })
{
    surface_.betweenFrames = [this] { betweenFrames(); };
}

Session::~Session() = default;

void Session::click(std::string_view button)
{
    const Command* command = findCommand(button);
    if (!command)
        return;
    switch (command->action) {
    case Action::Draw:
        run(command->routine);
        break;
    case Action::Clear:
        run(clearPicture);
        break;
    case Action::Exit:
        exitClicked();
        break;
    }
}

void Session::exitClicked()
{
    // Like a click, a programmatic exit waits for no routine: it is refused;
    // and one after a failure's report changes nothing of its status.
    if (busy_ || ended_)
        return;
    end(0);
}

// Holds the session busy for one routine: the busy cursor, and input gated,
// restored however the routine ends.
class Session::Busy {
public:
    explicit Busy(Session& session) : session_(session)
    {
        session_.busy_ = true;
        session_.gate_.routineStarted();
        try {
            session_.frontEnd_.showBusy(true);
        } catch (...) {
            session_.busy_ = false;
            throw;
        }
    }
    ~Busy()
    {
        session_.busy_ = false;
        session_.frontEnd_.showBusy(false);
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    Session& session_;
};

void Session::run(Routine routine)
{
    if (busy_ || ended_)
        return;
    std::exception_ptr failure;
    bool abandoned = false;
    try {
        Busy busy(*this);
        try {
            surface_.beginRoutine();
            Picture::Drawing drawing(picture_);
            routine(*target_);
            surface_.keepToSchedule();
            drawing.finished(routine);
            gate_.routineEnded();
            surface_.endRoutine();
            flushInput();
        } catch (const Abandoned&) {
            abandoned = true;
        } catch (...) {
            failure = std::current_exception();
            try {
                surface_.endRoutine(); // show what was drawn before the failure
            } catch (...) {
            }
        }
    } catch (...) {
        failure = std::current_exception(); // the window could not go busy
    }
    if (!failure && pending_)
        failure = std::exchange(pending_, nullptr);
    if (failure) {
        fail(failure);
        return;
    }
    if (abandoned || closing_)
        end(0);
}

// Between frames of a routine: the window repaints what needs it; input is
// discarded meanwhile. A failure in a paint or resize path ends the routine
// here.
void Session::betweenFrames()
{
    frontEnd_.paintBetweenFrames();
    if (pending_)
        std::rethrow_exception(std::exchange(pending_, nullptr));
    if (closing_)
        throw Abandoned{};
}

// Input that queued up before the routine's end is discarded here, after a
// round trip to the window system so that what it already holds arrives too.
void Session::flushInput()
{
    flushing_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{flushing_};
    frontEnd_.flushInput();
}

std::u16string Session::describePicture() const
{
    std::u16string drawn;
    for (Routine r : picture_.routines())
        for (const Command& c : kCommands) {
            if (c.action != Action::Draw || c.routine != r)
                continue;
            if (!drawn.empty())
                drawn += texts::kListSeparator;
            drawn += c.caption;
        }
    if (drawn.empty())
        return texts::kPictureEmpty;
    std::u16string text = texts::kPictureShows;
    return text.replace(text.find(u"%1"), 2, drawn);
}

bool Session::discardsInput(std::optional<std::uint64_t> stamp) const
{
    if (busy_ || flushing_)
        return true;
    return stamp && gate_.givenBeforeEnd(*stamp);
}

bool Session::requestClose()
{
    // A failure's report comes first, and its status stands.
    if (ended_ || pending_)
        return false;
    if (!busy_)
        return true;
    closing_ = true;
    return false;
}

void Session::failLater(std::exception_ptr failure) noexcept
{
    if (pending_ || !failure)
        return;
    pending_ = std::move(failure);
    if (busy_)
        return; // betweenFrames or run reports it
    const bool wasEnded = ended_;
    ended_ = true; // nothing starts before the report
    if (wasEnded)
        return;
    frontEnd_.later([this] {
        ended_ = false;
        fail(std::exchange(pending_, nullptr));
    });
}

void Session::fail(const std::exception_ptr& failure) noexcept
{
    if (ended_)
        return; // one report; the program is already ending
    // Set before the report, whose modal box runs an event loop of its own,
    // so that nothing queued can start a routine while it is up.
    ended_ = true;
    try {
        std::string message;
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            message = describeError(error, layout::kFormName);
        } catch (...) {
            message = describeError(std::runtime_error("?"), layout::kFormName);
        }
        std::fprintf(stderr, "%s: %s\n", kProgramName, message.c_str());
        std::fflush(stderr);
        frontEnd_.reportError(kProgramName, message);
    } catch (...) {
        // Not even the report could be made (memory is exhausted): say so
        // plainly and still end with the failure's status.
        std::fprintf(stderr, "%s: %s\n", kProgramName, kBareErrorLine);
    }
    end(1);
}

void Session::end(int status)
{
    ended_ = true;
    frontEnd_.exit(status);
}

} // namespace kestivo
