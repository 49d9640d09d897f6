#pragma once

// The floating-point status check that follows the routines' products.
//
// The processor's status flags are sticky: anything that ran before (the
// toolkit, the window painting between points) may have left one set. So the
// routines drop stale flags before each point's own arithmetic and then test
// only what that arithmetic raised. On x86-64 this reads MXCSR directly (a
// few cycles); elsewhere it falls back to <cfenv>.

#include "RuntimeError.h"

#include <cfloat>
#include <cmath>

#if defined(__SSE2__) && (defined(__x86_64__) || defined(_M_X64))
#define KESTIVO_FP_MXCSR 1
#include <immintrin.h>
#else
#include <cfenv>
#endif

namespace kestivo::fp {

#if KESTIVO_FP_MXCSR
// MXCSR exception flags: IE 0x01, ZE 0x04, OE 0x08.
inline unsigned raisedFlags()
{
    const unsigned csr = _mm_getcsr();
    return ((csr & 0x01u) ? FloatingPointError::Invalid : 0u) |
           ((csr & 0x04u) ? FloatingPointError::DivideByZero : 0u) |
           ((csr & 0x08u) ? FloatingPointError::Overflow : 0u);
}

inline void dropStaleFlags()
{
    const unsigned csr = _mm_getcsr();
    if (csr & 0x3Fu)
        _mm_setcsr(csr & ~0x3Fu);
}
#else
inline unsigned raisedFlags()
{
    const int set = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    return ((set & FE_INVALID) ? FloatingPointError::Invalid : 0u) |
           ((set & FE_DIVBYZERO) ? FloatingPointError::DivideByZero : 0u) |
           ((set & FE_OVERFLOW) ? FloatingPointError::Overflow : 0u);
}

inline void dropStaleFlags()
{
    if (std::fetestexcept(FE_ALL_EXCEPT))
        std::feclearexcept(FE_ALL_EXCEPT);
}
#endif

// Makes sure v is computed before the flags are read: the compiler may not
// otherwise keep arithmetic on one side of the status read.
inline void settle(double& v)
{
#if defined(__GNUC__) && KESTIVO_FP_MXCSR
    asm volatile("" : "+x"(v));
#elif defined(__GNUC__) && defined(__aarch64__)
    asm volatile("" : "+w"(v));
#else
    volatile double pinned = v;
    v = pinned;
#endif
}

// Test after a product of a sine or cosine by a constant.
inline void check(double& v)
{
    settle(v);
    if (const unsigned flags = raisedFlags()) [[unlikely]]
        throw FloatingPointError(flags);
}

// Coordinates travel to the surface in single precision; a finite value
// beyond float's range would be an overflow, not a silent wrap.
inline float toSingle(double v)
{
    if (std::isfinite(v) && std::fabs(v) > double(FLT_MAX)) [[unlikely]]
        throw FloatingPointError(FloatingPointError::Overflow);
    return static_cast<float>(v);
}

} // namespace kestivo::fp
