#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>

namespace kestivo {

// Grows an array's room to hold at least `wanted` entries, doubling it (and
// to no less than `least`), keeping its first `used`; false, with the array
// as it was, if the memory cannot be had. Memory that runs short makes a
// program that keeps drawing aids go without them, never fail.
template <typename T>
bool growArray(std::unique_ptr<T[]>& items, std::size_t used, std::size_t& capacity, std::size_t wanted,
               std::size_t least) noexcept
{
    if (wanted <= capacity)
        return true;
    const std::size_t room = std::max({wanted, capacity * 2, least});
    try {
        std::unique_ptr<T[]> bigger(new T[room]);
        std::copy(items.get(), items.get() + used, bigger.get());
        items = std::move(bigger);
        capacity = room;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace kestivo
