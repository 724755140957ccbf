// The DAU monitor poll's timer: it runs on the user-interface thread, and a
// worker that stops or restarts it never waits for that thread.

#include "InstUiSupport.h"

#include "instrument/ui/ConfigInfo.h"
#include "instrument/ui/MonitorTimer.h"

#include <QThread>
#include <atomic>
#include <thread>

namespace {

TEST(MonitorTimer, FiresOnItsOwnThreadUntilStopped)
{
    TestApp();
    CMonitorTimer timer;
    std::atomic<int> fired{0};
    bool onUiThread = true;
    unsigned id = timer.StartTimer(20, [&] {
        ++fired;
        onUiThread = onUiThread && QThread::currentThread() == timer.thread();
    });
    ASSERT_NE(id, 0u);
    Pump(110);
    EXPECT_GE(fired.load(), 2);
    EXPECT_TRUE(onUiThread);
    timer.StopTimer(id);
    int after = fired;
    Pump(80);
    EXPECT_EQ(fired.load(), after);
    EXPECT_EQ(timer.ActiveCount(), 0u);
    timer.StopTimer(id); // a second stop is harmless
    EXPECT_EQ(timer.StartTimer(20, nullptr), 0u);
}

TEST(MonitorTimer, AWorkerStartsAndStopsWithoutWaitingForTheUserInterface)
{
    TestApp();
    CMonitorTimer timer;
    std::atomic<int> fired{0};
    unsigned first = 0, second = 0;
    // The user-interface thread joins the worker without running its loop:
    // a worker that waited for it would never end.
    std::thread worker([&] {
        first = timer.StartTimer(10, [&] { ++fired; });
        timer.StopTimer(first);
        second = timer.StartTimer(10, [&] { ++fired; });
    });
    worker.join();
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    Pump(60);
    EXPECT_EQ(timer.ActiveCount(), 1u) << "the first poll stopped, the second runs";
    EXPECT_GT(fired.load(), 0);

    // Stopped on the user-interface thread before the worker's start arrived.
    unsigned third = 0;
    std::thread starter([&] { third = timer.StartTimer(10, [&] { ++fired; }); });
    starter.join();
    timer.StopTimer(third);
    timer.StopTimer(second);
    Pump(40);
    EXPECT_EQ(timer.ActiveCount(), 0u);
}

TEST(MonitorTimer, TheDauLinkPollsThroughIt)
{
    TestApp();
    CMonitorTimer timer;
    {
        CDAU dau;
        dau.SetMonitorTimer(&timer);
        EXPECT_EQ(dau.StartMonitor(), 0);
        EXPECT_TRUE(dau.IsMonitoring());
        EXPECT_EQ(timer.ActiveCount(), 1u);
        EXPECT_EQ(dau.StartMonitor(), 0); // a restart replaces the running poll
        EXPECT_EQ(timer.ActiveCount(), 1u);
    }
    // The link's end stops its poll.
    EXPECT_EQ(timer.ActiveCount(), 0u);
}

TEST(ConfigInfo, ReportsTheConfigurationAndWhatTheDauFound)
{
    SMachineConfig machine;
    machine.CopyFrom(VELTRANE_MACHINE_EMULATED);
    CDAU dau;
    CASCU ascu;
    CConfig config;
    config.InitInstance(&ascu, &dau);
    CConfigInfo info(&dau);
    EXPECT_TRUE(info.IsCMA());
    EXPECT_TRUE(info.HasMIED());
    EXPECT_EQ(info.GetAESMode(), 0);
    EXPECT_EQ(info.GetOffset(), 0);
    CConfig::SDialogValues v = config.GetDialogValues();
    v.m_dOffset = 3.5;
    v.m_iAESMode = 1;
    config.Save(v);
    EXPECT_EQ(info.GetOffset(), 3.5);
    EXPECT_EQ(info.GetAESMode(), 1);

    CConfigInfo none(nullptr);
    EXPECT_FALSE(none.IsCMA());
    EXPECT_FALSE(none.HasMIED());
}

} // namespace
