#pragma once

#include "surface/DrawingSurface.h"

#include <cstddef>
#include <vector>

namespace kestivo {

// A surface that draws nothing and logs every call, in order. Used to check
// what the pattern routines ask for, call by call.
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

    [[nodiscard]] Status DrawWidth(int width) override;
    [[nodiscard]] Status PSet(float x, float y, Rgb colour) override;
    [[nodiscard]] Status Line(float x1, float y1, float x2, float y2, Rgb colour,
                              BoxStyle style) override;
    [[nodiscard]] Status Cls() override;

    [[nodiscard]] const std::vector<Call>& calls() const { return calls_; }
    [[nodiscard]] std::size_t count(Op op) const;
    void reserve(std::size_t n) { calls_.reserve(n); }
    void clear() { calls_.clear(); }

private:
    std::vector<Call> calls_;
};

} // namespace kestivo
