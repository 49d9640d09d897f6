#pragma once

// Surfaces shared by the tests of every layer: a call-sequence fingerprint,
// a forwarding surface to build test doubles on, and the engine's own
// picture to compare a window's with.

#include "patterns/Patterns.h"
#include "surface/RasterSurface.h"
#include "support/RecordingSurface.h"

#include <cfenv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

namespace kestivo::test {

using Call = RecordingSurface::Call;
using Op = RecordingSurface::Op;

// A value's bits as an integer of its size (std::bit_cast, which not every
// library the core builds with has).
template <typename To, typename From>
To bitsOf(const From& value)
{
    static_assert(sizeof(To) == sizeof(From));
    To bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// FNV-1a over every field of every call, floats by their bit patterns, so
// any change of order, count, colour or a single bit of a coordinate shows.
inline std::uint64_t fingerprint(const std::vector<Call>& calls)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    const auto mix = [&h](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            h ^= (v >> (8 * i)) & 0xFFu;
            h *= 0x100000001b3ull;
        }
    };
    for (const auto& c : calls) {
        mix(std::uint32_t(c.op));
        mix(bitsOf<std::uint32_t>(c.x1));
        mix(bitsOf<std::uint32_t>(c.y1));
        mix(bitsOf<std::uint32_t>(c.x2));
        mix(bitsOf<std::uint32_t>(c.y2));
        mix(c.colour.argb());
        mix(std::uint32_t(c.width));
        mix(std::uint32_t(c.style));
    }
    return h;
}

// Makes one recorded call on a surface.
inline Status replay(const Call& c, DrawingSurface& on)
{
    switch (c.op) {
    case Op::DrawWidth:
        return on.DrawWidth(c.width);
    case Op::PSet:
        return on.PSet(c.x1, c.y1, c.colour);
    case Op::Line:
        return on.Line(c.x1, c.y1, c.x2, c.y2, c.colour, c.style);
    case Op::Cls:
        break;
    }
    return on.Cls();
}

inline void replay(const std::vector<Call>& calls, DrawingSurface& on)
{
    for (const Call& c : calls)
        (void)replay(c, on);
}

// Passes every call on to another surface (or nowhere) through one hook,
// handle(), which test doubles override to watch, stamp or fail calls.
//
// A run's points each pass through handle(); those it forwards go on as runs,
// down the other surface's own run path, as the routines' points do. A hook
// that acts on more than its call (a step of the session) first calls
// sendHeld(), so that the points before it have been drawn.
class ForwardingSurface : public DrawingSurface {
public:
    explicit ForwardingSurface(DrawingSurface* to) : to_(to) {}

    Status DrawWidth(int width) final { return handle({.op = Op::DrawWidth, .width = width}); }
    Status PSet(float x, float y, Rgb colour) final
    {
        return handle({.op = Op::PSet, .x1 = x, .y1 = y, .colour = colour});
    }
    Status PSetRun(std::span<const Point> run, Rgb colour) final
    {
        // Forgotten however the run ends: a hook may throw to end the routine.
        struct Within {
            ForwardingSurface& f;
            ~Within()
            {
                f.run_ = {};
                f.current_ = f.heldFrom_ = f.heldTo_ = 0;
            }
        } within{*this};
        run_ = run;
        colour_ = colour;
        heldFrom_ = heldTo_ = 0;
        Status s = Status::Ok;
        for (current_ = 0; current_ < run.size() && s == Status::Ok; ++current_)
            s = handle({.op = Op::PSet, .x1 = run[current_].x, .y1 = run[current_].y, .colour = colour});
        const Status sent = sendHeld();
        return s == Status::Ok ? sent : s;
    }
    Status Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style) final
    {
        return handle(
            {.op = Op::Line, .x1 = x1, .y1 = y1, .x2 = x2, .y2 = y2, .colour = colour, .style = style});
    }
    Status Cls() final { return handle({.op = Op::Cls}); }

protected:
    virtual Status handle(const Call& call) { return forward(call); }
    Status forward(const Call& call)
    {
        if (!to_)
            return Status::Ok;
        if (call.op != Op::PSet || current_ >= run_.size() ||
            bitsOf<std::uint64_t>(run_[current_]) !=
                bitsOf<std::uint64_t>(Point{call.x1, call.y1}) ||
            call.colour != colour_) {
            // Not the run's own point: the points held before it go first.
            if (sendHeld() != Status::Ok)
                return Status::Failed;
            return replay(call, *to_);
        }
        // The run's own point: held, to go on with its neighbours.
        if (heldTo_ != current_ && sendHeld() != Status::Ok)
            return Status::Failed;
        if (heldFrom_ == heldTo_)
            heldFrom_ = current_;
        heldTo_ = current_ + 1;
        return Status::Ok;
    }
    // Passes on the run's points forwarded and not yet drawn.
    Status sendHeld()
    {
        if (heldFrom_ == heldTo_ || !to_)
            return Status::Ok;
        const auto held = run_.subspan(heldFrom_, heldTo_ - heldFrom_);
        heldFrom_ = heldTo_;
        return to_->PSetRun(held, colour_);
    }

private:
    DrawingSurface* to_;
    std::span<const Point> run_;
    Rgb colour_;
    std::size_t current_ = 0, heldFrom_ = 0, heldTo_ = 0;
};

// Records every call and passes it on, except the n-th call (0-based) of
// the chosen operation, which reports failure and is not passed on. A Line
// may be told apart by its style.
class FaultySurface final : public ForwardingSurface {
public:
    FaultySurface(Op failOp, std::size_t failAt, DrawingSurface* forward = nullptr,
                  std::optional<BoxStyle> failStyle = std::nullopt)
        : ForwardingSurface(forward), failOp_(failOp), failAt_(failAt), failStyle_(failStyle)
    {
    }

    [[nodiscard]] const std::vector<Call>& calls() const { return calls_; }
    [[nodiscard]] bool failed() const { return failed_; }

private:
    Status handle(const Call& call) override
    {
        calls_.push_back(call);
        if (call.op == failOp_ && (!failStyle_ || call.style == *failStyle_) && seen_++ == failAt_) {
            failed_ = true;
            return Status::Failed;
        }
        return forward(call);
    }

    std::vector<Call> calls_;
    Op failOp_;
    std::size_t failAt_;
    std::optional<BoxStyle> failStyle_;
    std::size_t seen_ = 0;
    bool failed_ = false;
};

// Passes every call on, then leaves floating-point flags set, as toolkit
// code running between points might.
class FlagLeakingSurface final : public ForwardingSurface {
public:
    explicit FlagLeakingSurface(DrawingSurface* to = nullptr) : ForwardingSurface(to) {}
    int calls = 0;

private:
    Status handle(const Call& call) override
    {
        const Status s = forward(call);
        ++calls;
#if defined(FE_INVALID) && defined(FE_DIVBYZERO) && defined(FE_OVERFLOW) // none in WebAssembly
        std::feraiseexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
#endif
        return s;
    }
};

// A raster surface of the same size and scale as another.
inline RasterSurface rasterLike(const RasterSurface& other)
{
    return RasterSurface(other.width(), other.height(), 1440.0 / other.scale().twipsPerPixel());
}

// The engine's own picture of the given routines, drawn straight on a
// raster surface of the same size and scale as another.
inline Pixels enginePicture(const RasterSurface& like, std::initializer_list<Routine> routines)
{
    RasterSurface engine = rasterLike(like);
    for (Routine r : routines)
        r(engine);
    return engine.snapshot();
}

} // namespace kestivo::test
