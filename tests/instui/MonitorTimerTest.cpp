// The DAU monitor poll's timer: it runs on the user-interface thread, and a
// worker that stops or restarts it never waits for that thread.

#include "InstUiSupport.h"

#include "app/MonitorTimer.h"

#include <QThread>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

TEST(MonitorTimer, FiresOnItsOwnThreadUntilStopped)
{
    TestApp();
    CQtMonitorTimer timer;
    std::atomic<int> fired{0};
    bool onUiThread = true;
    unsigned id = timer.StartTimer(20, [&] {
        ++fired;
        onUiThread = onUiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    ASSERT_NE(id, 0u);
    Pump(110);
    EXPECT_GE(fired.load(), 2);
    EXPECT_TRUE(onUiThread);
    timer.StopTimer(id);
    int after = fired;
    Pump(80);
    EXPECT_EQ(fired.load(), after);
    EXPECT_EQ(timer.RunningCount(), 0u);
    timer.StopTimer(id); // a second stop is harmless
    EXPECT_EQ(timer.StartTimer(20, nullptr), 0u);
}

TEST(MonitorTimer, AWorkerStartsAndStopsWithoutWaitingForTheUserInterface)
{
    TestApp();
    CQtMonitorTimer timer;
    std::atomic<int> fired{0};
    unsigned first = 0, second = 0;
    // The user-interface thread waits for the worker without running its
    // loop, as it does when it ends a run at exit.
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread worker([&] {
        first = timer.StartTimer(10, [&] { ++fired; });
        timer.StopTimer(first);
        second = timer.StartTimer(10, [&] { ++fired; });
        done.set_value();
    });
    EXPECT_EQ(finished.wait_for(std::chrono::seconds(2)), std::future_status::ready)
        << "the worker waited for the user interface";
    while (finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        Pump(5); // let a waiting worker go, so that the test ends
    worker.join();
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    Pump(60);
    EXPECT_EQ(timer.RunningCount(), 1u) << "the first poll stopped, the second runs";
    EXPECT_GT(fired.load(), 0);

    // Stopped on the user-interface thread before the worker's start arrived.
    unsigned third = 0;
    std::thread starter([&] { third = timer.StartTimer(10, [&] { ++fired; }); });
    starter.join();
    timer.StopTimer(third);
    timer.StopTimer(second);
    Pump(40);
    EXPECT_EQ(timer.RunningCount(), 0u);
}

TEST(MonitorTimer, APollMayStopItselfFromItsOwnTick)
{
    // The DAU poll stops its timer when the adapter fails, from inside the tick.
    TestApp();
    CQtMonitorTimer timer;
    int ticks = 0;
    unsigned id = 0;
    id = timer.StartTimer(5, [&] {
        ++ticks;
        timer.StopTimer(id);
    });
    Pump(60);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timer.IsRunning(id));
}

TEST(MonitorTimer, TheDauLinkPollsThroughIt)
{
    TestApp();
    CQtMonitorTimer timer;
    {
        CDAU dau;
        dau.SetMonitorTimer(&timer);
        EXPECT_EQ(dau.StartMonitor(), 0);
        EXPECT_TRUE(dau.IsMonitoring());
        EXPECT_EQ(timer.RunningCount(), 1u);
        EXPECT_EQ(dau.StartMonitor(), 0); // a restart replaces the running poll
        EXPECT_EQ(timer.RunningCount(), 1u);
    }
    // The link's end stops its poll.
    EXPECT_EQ(timer.RunningCount(), 0u);
}

} // namespace
