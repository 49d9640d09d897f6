#pragma once

// The floating-point status check that follows the routines' products.
//
// The processor's status flags are sticky: anything that ran before (the
// toolkit, the window painting between points) may have left one set, and a
// test of the flags alone would end the program for nothing. The test below
// sees only the routine's own arithmetic.

#include "RuntimeError.h"

#include <cfenv>
#include <cfloat>
#include <cmath>

namespace kestivo::fp {

// Only read on the rare slow path below, so the portable <cfenv> serves.
inline unsigned raisedFlags()
{
    const int set = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    return ((set & FE_INVALID) ? FloatingPointError::Invalid : 0u) |
           ((set & FE_DIVBYZERO) ? FloatingPointError::DivideByZero : 0u) |
           ((set & FE_OVERFLOW) ? FloatingPointError::Overflow : 0u);
}

inline void dropStaleFlags()
{
    std::feclearexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
}

// Makes sure v is computed before the flags are read: the compiler may not
// otherwise keep arithmetic on one side of the status read.
inline void settle(double& v)
{
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
    asm volatile("" : "+x"(v));
#elif defined(__GNUC__) && defined(__aarch64__)
    asm volatile("" : "+w"(v));
#else
    volatile double pinned = v;
    v = pinned;
#endif
}

// Runs compute(), the products of one point returning a pair {x, y}, and
// raises a FloatingPointError if its own arithmetic hit an invalid
// operation, a division by zero or an overflow, or if a coordinate will not
// fit the single precision in which it travels to the surface.
//
// Each of those faults produces a NaN or an infinity, and in these formulas
// every intermediate value flows into x or y (sums and products, no
// comparisons), so a fault always leaves a non-finite result. Results within
// float range therefore prove there was none, with no read of the status
// word, which stalls the pipeline. Otherwise the flags are cleared (they are
// sticky and may have been left by other code), the same arithmetic is done
// again and the flags it raises decide. Non-finite inputs that raise nothing
// pass on unchanged, as the surface will see them.
template <typename Compute>
[[gnu::always_inline]] inline auto checked(Compute&& compute)
{
    auto r = compute();
    if (std::fabs(r.x) <= double(FLT_MAX) && std::fabs(r.y) <= double(FLT_MAX)) [[likely]]
        return r;
    dropStaleFlags();
    r = compute();
    settle(r.x);
    settle(r.y);
    if (const unsigned flags = raisedFlags())
        throw FloatingPointError(flags);
    if ((std::isfinite(r.x) && std::fabs(r.x) > double(FLT_MAX)) ||
        (std::isfinite(r.y) && std::fabs(r.y) > double(FLT_MAX)))
        throw FloatingPointError(FloatingPointError::Overflow);
    return r;
}

// A coordinate that checked() passed, in the surface's single precision.
inline float toSingle(double v)
{
    return static_cast<float>(v);
}

} // namespace kestivo::fp
