#pragma once

// What every fuzzer here reads its input with, and how it reports a finding.

#include <cstddef>
#include <cstdint>

namespace kestivo::fuzz {

// A check that failed: the fuzzer keeps the input that made it fail.
inline void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// The input, read from the front; past its end, zeros.
struct ByteReader {
    ByteReader(const std::uint8_t* bytes, std::size_t count) : data(bytes), size(count) {}

    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    bool more() const { return at < size; }
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    std::uint16_t half() { return std::uint16_t(byte() | (byte() << 8)); }
    std::uint32_t word() { return std::uint32_t(half()) | (std::uint32_t(half()) << 16); }
    std::uint64_t dword() { return std::uint64_t(word()) | (std::uint64_t(word()) << 32); }
};

} // namespace kestivo::fuzz
