#include "tests/gbx/Allocation_Watch.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace plotvane::test {

TAllocation_Watch& Allocation_Watch()
{
    static TAllocation_Watch watch;
    return watch;
}

} // namespace plotvane::test

namespace {

void* Allocate(std::size_t size) noexcept
{
    plotvane::test::TAllocation_Watch& watch = plotvane::test::Allocation_Watch();
    if (size > watch.Limit) {
        return nullptr;
    }
    watch.Largest = std::max(watch.Largest, size);
    ++watch.Count;
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

void* operator new(std::size_t size)
{
    if (void* memory = Allocate(size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
