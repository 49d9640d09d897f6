#include "session/Session.h"

#include "patterns/StatusCheck.h"
#include "form/Commands.h"
#include "program/ErrorText.h"
#include "session/FrontEnd.h"
#include "form/Layout.h"
#include "program/Product.h"
#include "form/Texts.h"

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
} // namespace

Session::Session(FrontEnd& frontEnd, double scale, Options options)
    : frontEnd_(frontEnd),
      picture_(layout::pictureSize(kLogicalScale).width, layout::pictureSize(kLogicalScale).height,
               layout::kLogicalDpi, scale),
      recording_(picture_.raster()),
      decorated_(options.decorate ? options.decorate(recording_) : nullptr),
      target_(decorated_ ? decorated_.get() : &recording_),
      pace_(options.pointsPerSecond),
      gate_([&frontEnd] { return frontEnd.inputClockMs(); }),
      keyboard_(options.pairedKeyRepeats, options.tabLeavesForm)
{
}

Session::~Session() = default;

void Session::click(std::string_view button)
{
    const Command* command = findCommand(button);
    if (!command || state_ != State::Idle)
        return;
    switch (command->action) {
    case Action::Draw:
        run(command->routine);
        break;
    case Action::Clear:
        run(clearPicture);
        break;
    case Action::Exit:
        end(0);
        break;
    }
}

// The routine runs to its end now, unseen, into the recording; the frames
// show it.
void Session::run(Routine routine)
{
    try {
        frontEnd_.showBusy(true);
    } catch (...) {
        fail(std::current_exception()); // the routine fails unstarted
        return;
    }
    state_ = State::Revealing;
    routine_ = routine;
    closing_ = false;
    gate_.routineStarted();
    pace_.restart();
    recording_.reset();
    try {
        routine(*target_);
    } catch (...) {
        routineFailure_ = std::current_exception();
    }
    recording_.recorded();
    // Drawn straight (no memory to record it): a scale change before its
    // frame draws it again with the rest.
    if (recording_.direct() && !routineFailure_)
        picture_.drawn(routine, recording_.cleared());
    frontEnd_.runFrames(true);
}

void Session::frame(double nowMs)
{
    try {
        switch (state_) {
        case State::Revealing:
            if (closing_) {
                endReveal(false);
                end(0);
                return;
            }
            if (!recording_.applyUntil(pace_.due(nowMs))) {
                presentChanges();
                return;
            }
            if (routineFailure_) {
                const std::exception_ptr failure = std::exchange(routineFailure_, nullptr);
                endReveal(false);
                report(failure);
                return;
            }
            endReveal(true);
            frontEnd_.runFrames(false);
            return;
        case State::Failing:
            if (routine_)
                endReveal(false);
            report(std::exchange(pending_, nullptr));
            return;
        case State::Idle:
        case State::Reporting:
        case State::Ended:
            frontEnd_.runFrames(false);
            return;
        }
    } catch (...) {
        fail(std::current_exception()); // presenting failed: the next frame reports it
    }
}

// The reveal is over: shown whole, or cut short by a close or a failure.
// What it applied is shown, and its recording freed.
void Session::endReveal(bool whole) noexcept
{
    try {
        presentChanges();
    } catch (...) {
        // The window could not show the last frame; its next paint will.
    }
    gate_.routineEnded();
    if (whole)
        picture_.drawn(routine_, recording_.cleared());
    else
        picture_.cutShort(recording_.cleared());
    recording_.reset();
    routine_ = nullptr;
    if (state_ == State::Revealing)
        state_ = State::Idle;
    frontEnd_.showBusy(false);
}

void Session::presentChanges()
{
    if (const DirtyRegion dirty = picture_.raster().takeDirty(); !dirty.empty())
        frontEnd_.present(dirty);
}

void Session::rescale(double scale)
{
    if (state_ == State::Ended)
        return;
    try {
        if (!picture_.adoptScale(scale))
            return;
        if (routine_)
            recording_.rescaled(routine_);
        presentChanges();
    } catch (...) {
        fail(std::current_exception()); // the picture stays as it was
    }
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

KeyAction Session::key(const KeyEvent& event, const char* focused)
{
    return keyboard_.key(event, focused, ended() || discardsInput(event.stamp));
}

bool Session::discardsInput(std::optional<std::uint64_t> stamp) const
{
    if (busy())
        return true;
    return stamp && gate_.givenBeforeEnd(*stamp);
}

bool Session::requestClose()
{
    switch (state_) {
    case State::Idle:
        return true;
    case State::Revealing:
        closing_ = true;
        return false;
    default:
        return false; // a failure's report comes first, and its status stands
    }
}

void Session::fail(std::exception_ptr failure) noexcept
{
    if (!failure || state_ >= State::Failing)
        return;
    state_ = State::Failing; // nothing starts before the report
    pending_ = std::move(failure);
    frontEnd_.runFrames(true);
}

void Session::report(const std::exception_ptr& failure) noexcept
{
    state_ = State::Reporting;
    frontEnd_.runFrames(false);
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
        end(1);
    }
}

void Session::errorDismissed()
{
    if (state_ == State::Reporting)
        end(1);
}

void Session::end(int status) noexcept
{
    if (state_ == State::Ended)
        return;
    if (routine_)
        endReveal(false);
    state_ = State::Ended;
    frontEnd_.runFrames(false);
    frontEnd_.exit(status);
}

} // namespace kestivo
