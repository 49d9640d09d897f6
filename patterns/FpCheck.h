#pragma once

// The floating-point status check that follows the routines' products.
//
// The processor's status flags are sticky: anything that ran before (the
// toolkit, the window painting between points) may have left one set, and a
// test of the flags alone would end the program for nothing. The test below
// sees only the routine's own arithmetic.

#include "patterns/RuntimeError.h"

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace kestivo::fp {

// Only read on the rare slow path below, so the portable <cfenv> serves.
// WebAssembly has no status flags (its <cfenv> names none): there a fault is
// told by its values alone (impliedFlags below), and a division by zero,
// whose infinity looks like an overflow's, is named an overflow.
#if defined(FE_INVALID) && defined(FE_DIVBYZERO) && defined(FE_OVERFLOW)
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
#else
inline unsigned raisedFlags()
{
    return 0;
}

inline void dropStaleFlags() {}
#endif

// Makes sure v is computed before the flags are read: the compiler may not
// otherwise keep arithmetic on one side of the status read.
inline void pin(double& v)
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

// What a coordinate's value proves about the arithmetic behind it, whatever
// the status word says: the formulas' inputs are finite, so a NaN comes from
// an invalid operation and an infinity, or a finite value beyond single
// precision, from an overflow.
inline unsigned impliedFlags(double v)
{
    if (std::isnan(v))
        return FloatingPointError::Invalid;
    return std::fabs(v) > double(FLT_MAX) ? FloatingPointError::Overflow : 0u;
}

// Whether a point's coordinates prove the arithmetic behind them sound and
// fit the single precision in which they travel to the surface.
//
// A point comes from products with finite inputs. An invalid operation, a
// division by zero or an overflow each produce a NaN or an infinity, and in
// these formulas every intermediate value flows into x or y (sums and
// products, no comparisons), so a fault always leaves a non-finite result.
// Results within float range therefore prove there was none, with no read of
// the status word, which stalls the pipeline.
template <typename Point>
[[gnu::always_inline]] inline bool fits(const Point& p)
{
    return std::fabs(p.x) <= double(FLT_MAX) && std::fabs(p.y) <= double(FLT_MAX);
}

// fits() and the conversion to single precision at once, for a point of two
// adjacent doubles {x, y}: both coordinates side by side in one register,
// which costs the point half the instructions. False, and nothing
// converted, for a point that does not fit.
template <typename Point>
[[gnu::always_inline]] inline bool toSingles(const Point& p, float& x, float& y)
{
    static_assert(sizeof(Point) == 2 * sizeof(double));
    using Pair = double __attribute__((vector_size(16)));
    using Mask = long long __attribute__((vector_size(16)));
    using Singles = float __attribute__((vector_size(8)));
    Pair v;
    std::memcpy(&v, &p, sizeof v);
    const Mask noSign{0x7fff'ffff'ffff'ffffLL, 0x7fff'ffff'ffff'ffffLL};
    const Pair largest{double(FLT_MAX), double(FLT_MAX)};
    const Mask fit = reinterpret_cast<Pair>(reinterpret_cast<Mask>(v) & noSign) <= largest;
    if (!(fit[0] & fit[1])) [[unlikely]]
        return false;
    const Singles single = __builtin_convertvector(v, Singles);
    x = single[0];
    y = single[1];
    return true;
}

// Raises the FloatingPointError behind a point that did not fit: compute()
// is its products, returning a pair {x, y}.
//
// The flags are cleared (they are sticky and may have been left by other
// code) and the same arithmetic is done again so that the flags it raises
// name the fault. The compiler may not have redone it, though: nothing tells
// it the status word matters, so it is free to reuse the first results or to
// fold a product of constants at build time, leaving no flag at all. The
// values then name the fault.
template <typename Compute>
[[noreturn, gnu::noinline, gnu::cold]] void fail(Compute&& compute)
{
    dropStaleFlags();
    auto r = compute();
    pin(r.x);
    pin(r.y);
    throw FloatingPointError(raisedFlags() | impliedFlags(r.x) | impliedFlags(r.y));
}

// Runs compute(), the products of one point, and raises a FloatingPointError
// if its own arithmetic hit an invalid operation, a division by zero or an
// overflow, or if a coordinate will not fit single precision.
template <typename Compute>
[[gnu::always_inline]] inline auto guarded(Compute&& compute)
{
    auto r = compute();
    if (!fits(r)) [[unlikely]]
        fail(compute);
    return r;
}

} // namespace kestivo::fp
