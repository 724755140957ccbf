#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

uint64_t CSystemClock::TickCount()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

double CSystemClock::WallTime()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void CSystemClock::Sleep(uint32_t milliseconds)
{
    timespec left{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) < 0 && errno == EINTR) {
    }
}

namespace {
CSystemClock g_systemClock;
std::atomic<IClock*> g_clock{nullptr};
} // namespace

IClock* SetClock(IClock* clock)
{
    IClock* previous = g_clock.exchange(clock);
    return previous ? previous : &g_systemClock;
}

IClock* GetClock()
{
    IClock* clock = g_clock.load();
    return clock ? clock : &g_systemClock;
}
