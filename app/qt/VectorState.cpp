#include "qt/VectorState.h"

namespace kestivo {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
namespace {
const bool kHasAvx = __builtin_cpu_supports("avx");
}

void clearUpperVectorState() noexcept
{
    if (kHasAvx)
        asm volatile("vzeroupper");
}
#else
void clearUpperVectorState() noexcept {}
#endif

} // namespace kestivo
