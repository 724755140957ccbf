// The traffic monitor: lines logged from other threads appear in its list;
// closing it while a thread logs is safe; opening it again starts empty.

#include "AppFixture.h"

#include "app/Monitor.h"
#include "app/MonitorTimer.h"
#include "res/resource.h"

#include <QListWidget>
#include <atomic>
#include <thread>

namespace {

TEST_F(AppFixture, MonitorShowsLinesLoggedFromAnyThreadAndClosesSafely)
{
    Start();
    EXPECT_TRUE(Execute(ID_MONITOR));
    CMonitor* monitor = CMainFrame::m_pMonitor;
    ASSERT_NE(monitor, nullptr);
    QListWidget* list = monitor->findChild<QListWidget*>("IDC_MONITOR_LIST");
    ASSERT_NE(list, nullptr);

    std::thread link([&] {
        app->m_TrafficMonitor.Append("-> DAUS", true);
        app->m_TrafficMonitor.Append("<- DAUS CD=0", false);
    });
    link.join();
    Pump(50);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "-> DAUS");
    EXPECT_EQ(list->item(1)->text(), "<- DAUS CD=0");

    // A link keeps logging while the window goes.
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        for (int i = 0; !stop; ++i)
            app->m_TrafficMonitor.Append("=> ST " + std::to_string(i), true);
    });
    Pump(30);
    monitor->close();
    Pump(30);
    stop = true;
    busy.join();
    EXPECT_EQ(CMainFrame::m_pMonitor, nullptr);
    EXPECT_FALSE(app->m_TrafficMonitor.IsAttached());

    EXPECT_TRUE(Execute(ID_MONITOR));
    ASSERT_NE(CMainFrame::m_pMonitor, nullptr);
    EXPECT_EQ(CMainFrame::m_pMonitor->findChild<QListWidget*>("IDC_MONITOR_LIST")->count(), 0)
        << "a new, empty monitor";
    // Opening again only shows the one that exists.
    CMonitor* again = CMainFrame::m_pMonitor;
    EXPECT_TRUE(Execute(ID_MONITOR));
    EXPECT_EQ(CMainFrame::m_pMonitor, again);
}

} // namespace

namespace {

TEST(MonitorTimer, ALinkThreadStartsAndStopsTheUiTimer)
{
    TestApp();
    CQtMonitorTimer timer;
    std::atomic<int> ticks{0};
    std::atomic<std::thread::id> tickThread;
    std::atomic<unsigned> id{0};
    std::thread link([&] {
        id = timer.StartTimer(10, [&] {
            tickThread = std::this_thread::get_id();
            ++ticks;
        });
    });
    while (id == 0)
        Pump(5);
    link.join();
    Pump(60);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(tickThread, std::this_thread::get_id()) << "the poll runs on the user-interface thread";
    std::thread stopper([&] { timer.StopTimer(id); });
    while (timer.IsRunning(id))
        Pump(5);
    stopper.join();
    int after = ticks;
    Pump(40);
    EXPECT_EQ(ticks, after);
}

} // namespace
