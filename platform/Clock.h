#pragma once
// Time for the program: a monotonic millisecond tick for pacing and time-outs,
// the wall clock, and sleeping. Code that waits or times out asks GetClock(), so
// tests install a CManualClock and never sleep for real.

#include <atomic>
#include <cstdint>

class IClock
{
public:
    virtual ~IClock() = default;
    // Milliseconds on a monotonic clock (arbitrary origin).
    virtual uint64_t TickCount() = 0;
    // Seconds since the Unix epoch, UTC.
    virtual double WallTime() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// The real clock (CLOCK_MONOTONIC, CLOCK_REALTIME, nanosleep).
class CSystemClock : public IClock
{
public:
    uint64_t TickCount() override;
    double WallTime() override;
    void Sleep(uint32_t milliseconds) override;
};

// A clock for tests: time stands still until Advance() or Sleep() moves it.
// Safe to use from several threads.
class CManualClock : public IClock
{
public:
    explicit CManualClock(uint64_t startTick = 1000, double startWall = 1.7e9)
        : m_tick(startTick), m_wallMs(int64_t(startWall * 1000.0))
    {
    }
    uint64_t TickCount() override { return m_tick.load(); }
    double WallTime() override { return double(m_wallMs.load()) / 1000.0; }
    void Sleep(uint32_t milliseconds) override { Advance(milliseconds); }
    void Advance(uint64_t milliseconds)
    {
        m_tick += milliseconds;
        m_wallMs += int64_t(milliseconds);
    }

private:
    std::atomic<uint64_t> m_tick;
    std::atomic<int64_t> m_wallMs;
};

// Installs a clock (nullptr restores the system clock); returns the previous one.
IClock* SetClock(IClock* clock);
IClock* GetClock();

// Shorthands through GetClock().
inline uint64_t GetTickCount64()
{
    return GetClock()->TickCount();
}
inline void SleepMs(uint32_t milliseconds)
{
    GetClock()->Sleep(milliseconds);
}
