#include "AllocCounter.h"

#include <cstdlib>
#include <new>

std::atomic<long> alloc_counter::g_count{0};
std::atomic<bool> alloc_counter::g_failNext{false};

void* operator new(std::size_t size)
{
    alloc_counter::g_count.fetch_add(1);
    if (alloc_counter::g_failNext.exchange(false))
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
