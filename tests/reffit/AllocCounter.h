#pragma once
// Counts calls of the global operator new in this process (the library's too:
// the test executable's replacement is the one the dynamic linker binds), and
// can make the next one fail as on exhausted memory.

#include <atomic>

namespace alloc_counter {
extern std::atomic<long> g_count;
extern std::atomic<bool> g_failNext;

inline long Count()
{
    return g_count.load();
}

// The next operator new throws std::bad_alloc.
inline void FailNext()
{
    g_failNext.store(true);
}
} // namespace alloc_counter
