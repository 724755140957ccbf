// The instrument's part of the program's start-up, through the application
// object: the link states and limits each machine configuration gives, the
// link errors shown in order by the main frame's timer once the window is
// up, the traffic monitor fed by the links from any thread, and View >
// Configuration.

#include "../app/AppFixture.h"
#include "InstUiSupport.h"

#include "app/InstrumentHooks.h"
#include "app/Monitor.h"
#include "data/InstrumentInfo.h"
#include "data/Source.h"
#include "instrument/ui/ConfigDlg.h"
#include "instrument/ui/InstrumentStartup.h"
#include "res/resource.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <atomic>
#include <thread>

namespace {

class InstrumentStartup : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        InstallInstrumentHooks();
        CPkLib probe;
        if (int id = probe.LoadLibraryA())
            m_pkLibMessage = Text(unsigned(id));
    }
    void TearDown() override
    {
        AppFixture::TearDown();
        CConfig::m_MgKaEnergy = 1253.6;
        CConfig::m_AlKaEnergy = 1486.6;
        CSource::SetPhotonEnergies(1253.6, 1486.6);
    }
    void UseMachineFile(const char* file)
    {
        QFile::remove(settings.Path("machine.ini"));
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(file), settings.Path("machine.ini")));
        QFile::setPermissions(settings.Path("machine.ini"), QFile::ReadOwner | QFile::WriteOwner);
    }
    CSettingsKey Key() { return CSettingsKey::OpenMachineForWrite(CConfig::KeyPath); }
    // The messages shown, without the peak library's (which depends on the build).
    std::vector<std::string> Shown()
    {
        std::vector<std::string> t = sink.Texts();
        if (!m_pkLibMessage.empty() && !t.empty() && t.front() == m_pkLibMessage)
            t.erase(t.begin());
        return t;
    }
    QListWidget* MonitorList()
    {
        return CMainFrame::m_pMonitor ? CMainFrame::m_pMonitor->findChild<QListWidget*>("IDC_MONITOR_LIST")
                                      : nullptr;
    }
    std::string m_pkLibMessage;
};

TEST_F(InstrumentStartup, WithoutAConfigurationThereIsNoInstrumentAndNoMessage)
{
    Start();
    Pump(700);
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(app->m_pDAU->IsPresent());
    EXPECT_FALSE(app->m_pASCU->IsConnected());
    EXPECT_EQ(CConfig::GetAESMode(), -1);
    EXPECT_EQ(CConfig::GetMaxTilt(), 90);
    EXPECT_EQ(CMainFrame::m_pMonitor, nullptr);
    EXPECT_TRUE(Action(ID_VIEW_CONFIG)->isEnabled());
    // The records see this configuration (and no longer once the program ends).
    ASSERT_NE(app->m_pInstruments, nullptr);
    EXPECT_EQ(&GetInstrumentInfo(), &app->m_pInstruments->GetInfo());
    Stop();
    EXPECT_FALSE(GetInstrumentInfo().IsCMA());
    EXPECT_EQ(GetInstrumentInfo().GetAESMode(), 0);
}

TEST_F(InstrumentStartup, TheEmulatedInstrumentOfMakeRun)
{
    UseMachineFile(VELTRANE_MACHINE_EMULATED);
    Start();
    Pump(700);
    EXPECT_TRUE(Shown().empty());
    EXPECT_TRUE(app->m_pDAU->IsEmulating());
    EXPECT_TRUE(app->m_pASCU->IsEmulating());
    EXPECT_TRUE(app->m_pASCU->IsConnected());
    EXPECT_EQ(CConfig::GetMinTilt(), -30);
    EXPECT_EQ(CConfig::GetMaxTilt(), 90);
    EXPECT_EQ(CConfig::GetAESMode(), 0);
    EXPECT_TRUE(GetInstrumentInfo().IsCMA());
    EXPECT_TRUE(GetInstrumentInfo().HasMIED());
    EXPECT_EQ(CMainFrame::m_pMonitor, nullptr) << "\"Monitor\" is 0";

    // The monitor poll has its timer on the user-interface thread.
    EXPECT_EQ(app->m_pDAU->StartMonitor(), 0);
    EXPECT_TRUE(app->m_pDAU->IsMonitoring());
    EXPECT_EQ(app->m_MonitorTimer.RunningCount(), 1u);
    app->m_pDAU->StopMonitor();
}

TEST_F(InstrumentStartup, LinkErrorsAreShownInOrderAfterTheWindow)
{
    {
        CSettingsKey key = Key();
        ASSERT_TRUE(key.WriteDWord("DAU Source ID", 1));
        ASSERT_TRUE(key.WriteUtf8String("Arcnet Library", "/nonexistent/libarcnet.so"));
        ASSERT_TRUE(key.WriteString("ASCU Port Name", "COM77"));
    }
    Start();
    EXPECT_TRUE(sink.Texts().empty()) << "nothing is shown before the timer";
    std::deque<int> pending = frame->GetPendingErrors();
    ASSERT_GE(pending.size(), 2u);
    EXPECT_EQ(std::vector<int>(pending.end() - 2, pending.end()), (std::vector<int>{2289, 2257}));
    Pump(700);
    EXPECT_EQ(Shown(), (std::vector<std::string>{Text(2289), Text(2257)}));
    EXPECT_EQ(CConfig::GetMaxTilt(), 60) << "a configuration without \"Holder\"";
}

TEST_F(InstrumentStartup, TheMonitorListsTheLinksTrafficFromStartUpAndFromWorkers)
{
    SSimulators sims(settings);
    ASSERT_TRUE(sims.m_bStarted);
    {
        CSettingsKey key = Key();
        ASSERT_TRUE(key.WriteDWord("Monitor", 3));
        ASSERT_TRUE(key.WriteDWord("Holder", 1));
        CSettingsKey sources = key.OpenSubKey(CConfig::SourcesKey);
        ASSERT_TRUE(sources.WriteString("AlKa", "1486.7"));
        ASSERT_TRUE(sources.WriteString("MgKa", "1253.5"));
    }
    Start();
    Pump(700);
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(app->m_pDAU->IsEmulating());
    EXPECT_TRUE(app->m_pDAU->IsPresent());
    EXPECT_TRUE(app->m_pASCU->IsConnected());
    EXPECT_FALSE(GetInstrumentInfo().IsCMA());
    EXPECT_EQ(CSource::m_AlKaEnergy, 1486.7);
    EXPECT_EQ(CSource::m_MgKaEnergy, 1253.5);

    // Opened before the links, so their first exchanges are listed.
    ASSERT_NE(CMainFrame::m_pMonitor, nullptr);
    EXPECT_TRUE(CMainFrame::m_pMonitor->isVisible());
    QListWidget* list = MonitorList();
    ASSERT_NE(list, nullptr);
    ASSERT_GE(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "-> GETI");
    EXPECT_TRUE(list->item(1)->text().startsWith("<- ")) << list->item(1)->text().toStdString();

    // A worker talks to the DAU; its lines reach the window.
    const char* beam = "BEAM MD=SPOT,X0=0,Y0=0,X1=0,Y1=0,BR=256";
    int before = list->count();
    std::thread once([&] { app->m_pDAU->Transact(beam, 1000); });
    once.join();
    Pump(50);
    ASSERT_EQ(list->count(), before + 2);
    EXPECT_EQ(list->item(before)->text(), QString("-> ") + beam);

    // The window closes while a worker keeps talking to the unit.
    std::atomic<bool> stop{false};
    std::atomic<int> exchanges{0};
    std::thread busy([&] {
        while (!stop) {
            app->m_pDAU->Transact(beam, 1000);
            ++exchanges;
        }
    });
    while (exchanges < 3)
        Pump(5);
    CMainFrame::m_pMonitor->close();
    int closedAt = exchanges;
    while (exchanges < closedAt + 3)
        Pump(5);
    EXPECT_EQ(CMainFrame::m_pMonitor, nullptr);

    // Opened again: a new, empty window that follows the worker.
    EXPECT_TRUE(Execute(ID_MONITOR));
    ASSERT_NE(MonitorList(), nullptr);
    int reopenedAt = exchanges;
    while (exchanges < reopenedAt + 2)
        Pump(5);
    stop = true;
    busy.join();
    Pump(50);
    ASSERT_GE(MonitorList()->count(), 2);
    EXPECT_FALSE(MonitorList()->findItems(QString("-> ") + beam, Qt::MatchExactly).isEmpty());
}

TEST_F(InstrumentStartup, ViewConfigurationShowsTheDialogAndOkChangesTheOffsetInForce)
{
    UseMachineFile(VELTRANE_MACHINE_EMULATED);
    Start();
    Pump(700);
    bool shown = false;
    QTimer::singleShot(0, frame, [&] {
        auto* dlg = qobject_cast<CConfigDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        shown = true;
        dlg->findChild<QLineEdit*>(CConfigDlg::CtrlName(CConfigDlg::IdOffset))->setText("3");
        dlg->findChild<QPushButton*>("IDOK")->click();
    });
    EXPECT_TRUE(Execute(ID_VIEW_CONFIG));
    EXPECT_TRUE(shown);
    EXPECT_EQ(GetInstrumentInfo().GetOffset(), 3);
    EXPECT_TRUE(Shown().empty());
}

} // namespace
