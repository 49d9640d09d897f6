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

// Records like RecordingSurface, but the n-th call (0-based, counting only
// calls of the chosen operation) reports failure.
class FaultySurface final : public DrawingSurface {
public:
    using Op = RecordingSurface::Op;

    FaultySurface(Op failOp, std::size_t failAt) : failOp_(failOp), failAt_(failAt) {}

    Status DrawWidth(int width) override { return pass(Op::DrawWidth, inner_.DrawWidth(width)); }
    Status PSet(float x, float y, Rgb colour) override
    {
        return pass(Op::PSet, inner_.PSet(x, y, colour));
    }
    Status Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style) override
    {
        return pass(Op::Line, inner_.Line(x1, y1, x2, y2, colour, style));
    }
    Status Cls() override { return pass(Op::Cls, inner_.Cls()); }

    [[nodiscard]] const std::vector<RecordingSurface::Call>& calls() const { return inner_.calls(); }

private:
    Status pass(Op op, Status s)
    {
        if (op == failOp_ && seen_++ == failAt_)
            return Status::Failed;
        return s;
    }

    RecordingSurface inner_;
    Op failOp_;
    std::size_t failAt_;
    std::size_t seen_ = 0;
};

} // namespace kestivo::test
