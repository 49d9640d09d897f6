#pragma once

#include <concepts>
#include <stdexcept>

// Per-point loop bodies are inlined into their loops: a call per point
// costs more than the arithmetic around it.
#if defined(__GNUC__)
#define KESTIVO_INLINE __attribute__((always_inline))
#define KESTIVO_NOINLINE __attribute__((noinline))
#else
#define KESTIVO_INLINE
#define KESTIVO_NOINLINE
#endif

namespace kestivo {

// A counted loop: the counter starts at start, the body runs while the
// counter has not passed end, and step is added with one addition per turn.
// The counter accumulates (it is never start + i * step), so a double range
// stops where the accumulated sum first passes end.
template <typename T>
    requires std::same_as<T, int> || std::same_as<T, double>
struct SteppedRange {
    T start;
    T end;
    T step;

    constexpr SteppedRange(T first, T last, T by) : start(first), end(last), step(by)
    {
        if (!(by > 0 || by < 0))
            throw std::invalid_argument("SteppedRange: the step must not be zero");
    }

    template <typename Body>
    void forEach(Body&& body) const
    {
        // One loop per direction keeps the direction test out of the loop.
        if (step > 0) {
            for (T counter = start; !(counter > end);) {
                body(counter);
                if (!advance(counter))
                    break;
            }
        } else {
            for (T counter = start; !(counter < end);) {
                body(counter);
                if (!advance(counter))
                    break;
            }
        }
    }

private:
    // False where an int counter would overflow: that ends the loop.
    bool advance(T& counter) const
    {
        if constexpr (std::same_as<T, int>) {
            return !__builtin_add_overflow(counter, step, &counter);
        } else {
            counter += step;
            return true;
        }
    }
};

} // namespace kestivo
