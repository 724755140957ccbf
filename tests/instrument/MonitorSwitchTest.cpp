// The traffic window opens and closes on the user-interface thread while a
// worker exchanges with the units: once a link has let go of a window, no
// line reaches it (the thread-sanitizer build also checks the hand-over).

#include "instrument/ASCU.h"
#include "instrument/DAU.h"
#include "instrument/TrafficLog.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

void SwitchWhileAWorkerLogs(const std::function<void()>& exchange,
                            const std::function<void(CTrafficMonitor*)>& setMonitor)
{
    CTrafficMonitor monitor;
    monitor.Attach(nullptr);
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop)
            exchange();
    });
    int late = 0;
    for (int i = 0; i < 200; ++i) {
        setMonitor(&monitor);
        usleep(100);
        setMonitor(nullptr);
        const size_t held = monitor.Generation();
        usleep(50);
        late += monitor.Generation() != held;
    }
    stop = true;
    worker.join();
    EXPECT_EQ(late, 0);
    EXPECT_GT(monitor.Generation(), 0u);
}

} // namespace

TEST(TrafficMonitor, SwitchedWhileAWorkerLogs)
{
    {
        SCOPED_TRACE("DAU");
        CDAU dau;
        dau.SetSourceID(0x200 | 1); // emulated
        ASSERT_EQ(dau.Open(), 0);
        SwitchWhileAWorkerLogs([&] { dau.Transact("GETI", 100); },
                               [&](CTrafficMonitor* m) { dau.SetMonitorWnd(m); });
    }
    {
        SCOPED_TRACE("stage unit");
        CASCU ascu;
        ascu.SetEmulate(true);
        ASSERT_EQ(ascu.Open("Emulate", ""), 0);
        SwitchWhileAWorkerLogs([&] { ascu.Command("RP", 50, 0); },
                               [&](CTrafficMonitor* m) { ascu.SetMonitorWnd(m); });
    }
}
