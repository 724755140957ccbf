// The traffic monitor: lines logged from other threads appear in its list;
// closing it while a thread logs is safe; opening it again starts empty.

#include "AppFixture.h"

#include "app/Monitor.h"
#include "app/MonitorTimer.h"
#include "res/resource.h"

#include <QListWidget>
#include <QScrollBar>
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

// The monitor's window, opened from its command and shown, over a started
// program.
class MonitorWindow : public AppFixture
{
protected:
    QListWidget* ShownList()
    {
        Start();
        EXPECT_TRUE(Execute(ID_MONITOR));
        CMonitor* monitor = CMainFrame::m_pMonitor;
        if (!monitor)
            return nullptr;
        monitor->show();
        return monitor->GetList();
    }
};

// A busy link must not take the list away from the user: a line selected for
// copying stays selected and the part being read stays in view while lines
// arrive; trimming takes only the oldest lines, and the list follows the
// newest line when it was showing the end.
TEST_F(MonitorWindow, KeepsTheUsersPlaceWhileLinesArrive)
{
    QListWidget* list = ShownList();
    ASSERT_NE(list, nullptr);
    CTrafficMonitor& traffic = app->m_TrafficMonitor;
    auto line = [](int i) { return "-> RQSP " + std::to_string(i); };
    auto text = [&](int row) { return list->item(row)->text().toStdString(); };
    int next = 0;
    auto append = [&](int n) {
        for (int i = 0; i < n; ++i, ++next)
            traffic.Append(line(next), true);
        Pump(20);
    };

    append(300);
    ASSERT_EQ(list->count(), 300);
    EXPECT_EQ(text(299), line(299));
    EXPECT_EQ(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum()) << "follows the end";

    list->setCurrentRow(100);
    list->scrollToItem(list->item(100), QAbstractItemView::PositionAtTop);
    const int top = list->verticalScrollBar()->value();
    ASSERT_LT(top, list->verticalScrollBar()->maximum());
    append(50);
    ASSERT_EQ(list->count(), 350);
    EXPECT_EQ(list->currentRow(), 100);
    EXPECT_TRUE(list->item(100)->isSelected());
    EXPECT_EQ(list->verticalScrollBar()->value(), top) << "the part being read stays in view";

    // Past 2048 lines the oldest go; the selected line (number 1100) is kept
    // and stays where the user was reading.
    append(1100);
    ASSERT_EQ(list->count(), 1450);
    list->setCurrentRow(1100);
    list->scrollToItem(list->item(1100), QAbstractItemView::PositionAtTop);
    append(599); // the 2049th line trims the list to its newest 1024
    ASSERT_EQ(list->count(), 1024);
    EXPECT_EQ(text(0), line(next - 1024));
    EXPECT_EQ(text(1023), line(next - 1));
    const int row = 1100 - (next - 1024);
    EXPECT_EQ(list->currentRow(), row);
    EXPECT_EQ(text(row), line(1100));
    EXPECT_EQ(list->indexAt(QPoint(2, 2)).row(), row) << "the line being read is still at the top";

    // Lines trimmed between two refreshes of the window are not shown twice
    // or left behind.
    list->scrollToBottom();
    for (int i = 0; i < 3000; ++i, ++next)
        traffic.Append(line(next), true);
    Pump(20);
    ASSERT_EQ(list->count(), static_cast<int>(traffic.LineCount()));
    std::vector<std::string> held = traffic.Lines();
    for (int r = 0; r < list->count(); ++r)
        ASSERT_EQ(text(r), held[size_t(r)]) << r;
    EXPECT_EQ(text(list->count() - 1), line(next - 1));
    EXPECT_EQ(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
}

// A data reply's line is read to its end with the horizontal scroll bar,
// whatever line came last when the list was laid out (here a short command).
TEST_F(MonitorWindow, ScrollsToTheEndOfTheLongestLine)
{
    QListWidget* list = ShownList();
    ASSERT_NE(list, nullptr);
    const std::string data = "<- SBSP BL=4,ST=2,FN=60;   " + std::string(59 * 8, 'A');
    app->m_TrafficMonitor.Append("-> GETI", true);
    app->m_TrafficMonitor.Append(data, false);
    app->m_TrafficMonitor.Append("-> RQSP", true);
    Pump(20);
    list->grab(); // laid out and painted, as on the screen
    ASSERT_EQ(list->count(), 3);
    const int textWidth = list->fontMetrics().horizontalAdvance(QString::fromStdString(data));
    ASSERT_GT(textWidth, list->viewport()->width());
    EXPECT_GE(list->visualItemRect(list->item(1)).width(), textWidth) << "the line is not cut";
    EXPECT_GE(list->horizontalScrollBar()->maximum() + list->viewport()->width(), textWidth);

    // A longer line later widens the list again.
    const std::string longer = data + std::string(200, 'B');
    app->m_TrafficMonitor.Append(longer, false);
    app->m_TrafficMonitor.Append("-> RQSP", true);
    Pump(20);
    list->grab();
    const int longerWidth = list->fontMetrics().horizontalAdvance(QString::fromStdString(longer));
    EXPECT_GE(list->visualItemRect(list->item(3)).width(), longerWidth);
    EXPECT_GE(list->horizontalScrollBar()->maximum() + list->viewport()->width(), longerWidth);
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
