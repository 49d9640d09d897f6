#pragma once

#include "patterns/SteppedRange.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <memory>
#include <new>

namespace kestivo {

// The trigonometry at each angle of a range that several roses of a routine
// step through together: cos t, sin t and cos(k t) for each of the roses'
// multiples k. The first rose to reach an angle works its values out, in its
// turn, and the others read them: the same functions of the same arguments
// give the same values, so not a point moves. Where the memory cannot be
// had, every rose works its own out. Held while the routine runs.
template <std::size_t K>
class SharedTrig {
public:
    struct At {
        double t;
        double cosT;
        double sinT;
        std::array<double, K> cosKT; // cos(t * k), in the order of the multiples
    };

    SharedTrig(const SteppedRange<double>& angles, const std::array<int, K>& multiples) noexcept
        : multiples_(multiples)
    {
        std::size_t count = 0;
        angles.forEach([&](double) { ++count; });
        try {
            values_.reset(new Values[count]);
            room_ = count;
        } catch (const std::bad_alloc&) {
        }
    }

    // The values at the range's index-th angle, t.
    [[gnu::always_inline]] At at(std::size_t index, double t) noexcept
    {
        if (index < known_) {
            const Values& v = values_[index];
            return At{t, v.cosT, v.sinT, v.cosKT};
        }
        At a{t, std::cos(t), std::sin(t), {}};
        for (std::size_t j = 0; j < K; ++j)
            a.cosKT[j] = std::cos(t * multiples_[j]);
        if (index == known_ && index < room_)
            values_[known_++] = Values{a.cosT, a.sinT, a.cosKT};
        return a;
    }

private:
    struct Values {
        double cosT;
        double sinT;
        std::array<double, K> cosKT;
    };

    std::array<int, K> multiples_;
    std::unique_ptr<Values[]> values_;
    std::size_t room_ = 0, known_ = 0;
};

} // namespace kestivo
