#pragma once

#include <cstddef>

namespace plotvane::test {

// The program that links Allocation_Watch.cpp replaces the global operator new and delete to
// watch every request; only suites of their own may link it.
struct TAllocation_Watch {
    std::size_t Largest = 0; // the largest request granted
    std::size_t Count = 0;   // requests granted
    std::size_t Limit = static_cast<std::size_t>(-1); // larger requests fail with bad_alloc
};

// The watch of this program: reset it before the code watched, read it after.
TAllocation_Watch& Allocation_Watch();

} // namespace plotvane::test
