#include "platform/Clock.h"

#include "platform/ServiceSlot.h"

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
CServiceSlot<IClock> g_clock{g_systemClock};
} // namespace

IClock* SetClock(IClock* clock)
{
    return g_clock.Set(clock);
}

IClock* GetClock()
{
    return g_clock.Get();
}
