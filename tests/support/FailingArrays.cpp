#include "support/FailingArrays.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> gFailFrom{0}; // 0: nothing fails
std::atomic<int> gRefused{0};
} // namespace

namespace kestivo::test {

FailingArrays::FailingArrays(std::size_t bytes)
{
    gFailFrom = bytes;
}

FailingArrays::~FailingArrays()
{
    gFailFrom = 0;
}

int FailingArrays::refused()
{
    return gRefused;
}

} // namespace kestivo::test

// The program's array allocations, replaced for the whole test program.
void* operator new[](std::size_t size)
{
    const std::size_t from = gFailFrom;
    if (from && size >= from) {
        ++gRefused;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
