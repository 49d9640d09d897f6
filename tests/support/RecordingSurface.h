#pragma once

#include "surface/DrawingSurface.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kestivo {

// A surface that draws nothing and logs every call, in order: what the
// pattern routines ask for, call by call, for tests and benchmarks.
class RecordingSurface final : public DrawingSurface {
public:
    enum class Op { DrawWidth, PSet, Line, Cls };

    struct Call {
        Op op;
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        Rgb colour{};
        int width = 0;           // DrawWidth only
        BoxStyle style = BoxStyle::B; // Line only
    };

    [[nodiscard]] Status DrawWidth(int width) override
    {
        calls_.push_back({.op = Op::DrawWidth, .width = width});
        return Status::Ok;
    }
    [[nodiscard]] Status PSet(float x, float y, Rgb colour) override
    {
        calls_.push_back({.op = Op::PSet, .x1 = x, .y1 = y, .colour = colour});
        return Status::Ok;
    }
    [[nodiscard]] Status Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style) override
    {
        calls_.push_back({.op = Op::Line, .x1 = x1, .y1 = y1, .x2 = x2, .y2 = y2, .colour = colour, .style = style});
        return Status::Ok;
    }
    [[nodiscard]] Status Cls() override
    {
        calls_.push_back({.op = Op::Cls});
        return Status::Ok;
    }

    [[nodiscard]] const std::vector<Call>& calls() const { return calls_; }
    [[nodiscard]] std::size_t count(Op op) const
    {
        return std::size_t(std::count_if(calls_.begin(), calls_.end(), [op](const Call& c) { return c.op == op; }));
    }
    void reserve(std::size_t n) { calls_.reserve(n); }
    void clear() { calls_.clear(); }

private:
    std::vector<Call> calls_;
};

} // namespace kestivo
