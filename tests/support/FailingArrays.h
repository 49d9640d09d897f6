#pragma once

#include <cstddef>

namespace kestivo::test {

// While one of these lives, every array allocation (new T[n]) of at least
// `bytes` throws std::bad_alloc, as a picture that memory cannot hold does.
// Needs FailingArrays.cpp linked into the test program.
class FailingArrays {
public:
    explicit FailingArrays(std::size_t bytes);
    ~FailingArrays();
    FailingArrays(const FailingArrays&) = delete;
    FailingArrays& operator=(const FailingArrays&) = delete;

    // The allocations refused so far.
    [[nodiscard]] static int refused();
};

} // namespace kestivo::test
