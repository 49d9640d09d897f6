#pragma once

// Helpers shared by the engine tests: a call-sequence fingerprint and a
// surface that fails on demand.

#include "RecordingSurface.h"

#include <bit>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestivo::test {

// FNV-1a over every field of every call, floats by their bit patterns, so
// any change of order, count, colour or a single bit of a coordinate shows.
inline std::uint64_t fingerprint(const std::vector<RecordingSurface::Call>& calls)
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
        mix(std::bit_cast<std::uint32_t>(c.x1));
        mix(std::bit_cast<std::uint32_t>(c.y1));
        mix(std::bit_cast<std::uint32_t>(c.x2));
        mix(std::bit_cast<std::uint32_t>(c.y2));
        mix(c.colour.argb());
        mix(std::uint32_t(c.width));
        mix(std::uint32_t(c.style));
    }
    return h;
}

// Records every call like RecordingSurface and passes it on to another
// surface, if given, except the n-th call (0-based) of the chosen operation,
// which reports failure and is not passed on. A Line may be told apart by
// its style.
class FaultySurface final : public DrawingSurface {
public:
    using Op = RecordingSurface::Op;

    FaultySurface(Op failOp, std::size_t failAt, DrawingSurface* forward = nullptr,
                  std::optional<BoxStyle> failStyle = std::nullopt)
        : failOp_(failOp), failAt_(failAt), forward_(forward), failStyle_(failStyle)
    {
    }

    Status DrawWidth(int width) override
    {
        (void)inner_.DrawWidth(width);
        return pass(Op::DrawWidth, std::nullopt, [&](DrawingSurface& s) { return s.DrawWidth(width); });
    }
    Status PSet(float x, float y, Rgb colour) override
    {
        (void)inner_.PSet(x, y, colour);
        return pass(Op::PSet, std::nullopt, [&](DrawingSurface& s) { return s.PSet(x, y, colour); });
    }
    Status Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style) override
    {
        (void)inner_.Line(x1, y1, x2, y2, colour, style);
        return pass(Op::Line, style,
                    [&](DrawingSurface& s) { return s.Line(x1, y1, x2, y2, colour, style); });
    }
    Status Cls() override
    {
        (void)inner_.Cls();
        return pass(Op::Cls, std::nullopt, [&](DrawingSurface& s) { return s.Cls(); });
    }

    [[nodiscard]] const std::vector<RecordingSurface::Call>& calls() const { return inner_.calls(); }
    [[nodiscard]] bool failed() const { return failed_; }

private:
    template <typename Call>
    Status pass(Op op, std::optional<BoxStyle> style, Call&& call)
    {
        if (op == failOp_ && (!failStyle_ || style == failStyle_) && seen_++ == failAt_) {
            failed_ = true;
            return Status::Failed;
        }
        return forward_ ? call(*forward_) : Status::Ok;
    }

    RecordingSurface inner_;
    Op failOp_;
    std::size_t failAt_;
    DrawingSurface* forward_;
    std::optional<BoxStyle> failStyle_;
    std::size_t seen_ = 0;
    bool failed_ = false;
};

// Replays recorded calls on another surface.
inline void replay(const std::vector<RecordingSurface::Call>& calls, DrawingSurface& on)
{
    using Op = RecordingSurface::Op;
    for (const auto& c : calls) {
        switch (c.op) {
        case Op::DrawWidth:
            (void)on.DrawWidth(c.width);
            break;
        case Op::PSet:
            (void)on.PSet(c.x1, c.y1, c.colour);
            break;
        case Op::Line:
            (void)on.Line(c.x1, c.y1, c.x2, c.y2, c.colour, c.style);
            break;
        case Op::Cls:
            (void)on.Cls();
            break;
        }
    }
}

} // namespace kestivo::test
