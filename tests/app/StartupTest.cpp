// Start-up in its fixed order, the queued errors, the settings read and
// written, the unit switch and the enable rules of the menus.

#include "AppFixture.h"

#include "app/Options.h"
#include "app/SummaryView.h"
#include "app/VeltraneView.h"
#include "data/Update.h"
#include "framework/ui/AppMessage.h"
#include "instrument/ASCU.h"
#include "instrument/DAU.h"
#include "platform/Settings.h"
#include "res/resource.h"

#include <QDialog>
#include <QMdiArea>
#include <QMenu>
#include <QRadioButton>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <thread>

namespace {

const char* const kUserKey = "Software\\Kestrin (UK) Ltd\\Veltrane\\1.0";

TEST_F(AppFixture, StartUpRunsInOrderAndShowsQueuedErrorsAfterTheWindow)
{
    std::vector<std::string> order;
    AppHooks().createAcquisition = [&](CVeltrane& a) {
        order.push_back("acquisition");
        EXPECT_NE(CVeltrane::GetImageTemplate(), nullptr) << "templates come first";
        EXPECT_TRUE(a.m_pASCU && a.m_pDAU) << "the links before the engine";
        EXPECT_EQ(a.m_pOptions, nullptr) << "the options sheet after the engine";
        EXPECT_EQ(a.m_pMainWnd, nullptr) << "the main frame after the engine";
    };
    AppHooks().startConfiguration = [&](CVeltrane&, CMainFrame& f) {
        order.push_back("configuration");
        EXPECT_TRUE(f.isVisible()) << "the configuration starts once the window is shown";
        f.DelayedErrorReport(61696);
        f.DelayedErrorReport(61697);
        f.DelayedErrorReport(2064);
    };
    CPkLib probe;
    int pkLibError = probe.LoadLibraryA();

    Start();
    EXPECT_EQ(order, (std::vector<std::string>{"acquisition", "configuration"}));
    std::vector<std::string> expected;
    if (pkLibError)
        expected.push_back(Text(pkLibError));
    expected.insert(expected.end(), {Text(61696), Text(61697), Text(2064)});
    EXPECT_TRUE(sink.Texts().empty()) << "nothing is shown before the timer";
    EXPECT_TRUE(frame->IsErrorTimerRunning());
    Pump(300);
    EXPECT_TRUE(sink.Texts().empty());
    Pump(400);
    EXPECT_EQ(sink.Texts(), expected);
    EXPECT_FALSE(frame->IsErrorTimerRunning()) << "the timer stops once the queue is shown";
    EXPECT_TRUE(frame->GetPendingErrors().empty());
}

TEST_F(AppFixture, WithoutStoredSettingsTheDefaultsStay)
{
    Start();
    EXPECT_EQ(app->GetDefaultXPSUnit(), CVeltrane::BE);
    EXPECT_EQ(COptions::GetFullscaleMode(), 260);
    EXPECT_EQ(COptions::GetProfileMode(), 2);
    EXPECT_FALSE(frame->isMaximized());
    std::string path;
    EXPECT_FALSE(app->OnFileName(path, true));
    ASSERT_EQ(dialogs.m_requests.size(), 1u);
    EXPECT_EQ(dialogs.m_requests[0].iSelectedFilter, 0);
    EXPECT_EQ(dialogs.m_requests[0].filters, (QStringList{"Veltrane Data Files (*.vlt)", "All Files (*.*)"}));
    Pump(700);
    for (const std::string& t : sink.Texts())
        EXPECT_EQ(t.find("registry"), std::string::npos) << t;
}

TEST_F(AppFixture, AnUnreadableSettingsValueEndsTheStartButTheSettingsAreWrittenAtExit)
{
    {
        CSettingsKey key(CSettingsKey::CurrentUser, kUserKey);
        ASSERT_TRUE(key.WriteBinary("Settings", std::vector<uint8_t>(600, 1)));
    }
    CVeltrane a;
    EXPECT_NE(a.Run(), 0);
    EXPECT_EQ(a.m_pMainWnd, nullptr);
    ASSERT_FALSE(sink.Texts().empty());
    EXPECT_EQ(sink.Texts()[0], Text(2061));
    CSettingsKey key(CSettingsKey::CurrentUser, kUserKey);
    std::vector<uint8_t> value;
    ASSERT_TRUE(key.ReadBinary("Settings", value));
    EXPECT_EQ(value.size(), CRegistry::ValueSize) << "the exit step wrote the settings held in memory";
}

TEST_F(AppFixture, SettingsChangedDuringTheRunSurviveARestart)
{
    Start();
    frame->OnViewUnits(ID_VIEW_UNITS_KE);
    std::string path;
    dialogs.Answer(settings.Path("x.txt"), 1);
    ASSERT_TRUE(app->OnFileName(path, true));
    Stop();
    RegistryTestPeer::Reset();
    Start();
    EXPECT_EQ(app->GetDefaultXPSUnit(), CVeltrane::KE);
    EXPECT_EQ(app->GetCurrentXPSUnit(), CVeltrane::KE);
    dialogs.m_requests.clear();
    app->OnFileName(path, true);
    ASSERT_EQ(dialogs.m_requests.size(), 1u);
    EXPECT_EQ(dialogs.m_requests[0].iSelectedFilter, 1) << "All Files stays preselected";
}

TEST_F(AppFixture, CurrentXpsUnitIsKineticOnlyForAStoredKinetic)
{
    Start();
    struct
    {
        int stored;
        CVeltrane::Unit current;
    } const cases[] = {{0, CVeltrane::BE}, {1, CVeltrane::BE}, {2, CVeltrane::KE}, {3, CVeltrane::BE}};
    for (auto& c : cases) {
        app->m_CurXPSUnits = c.stored;
        EXPECT_EQ(app->GetCurrentXPSUnit(), c.current) << c.stored;
        EXPECT_EQ(int(app->GetDefaultXPSUnit()), c.stored);
    }
}

// Records the hints its document passes.
class HintView : public CSummaryView
{
public:
    HintView() : CSummaryView(true) {}
    void OnUpdate(IDocView* s, intptr_t lHint, void* p) override
    {
        if (lHint)
            hints.push_back(reinterpret_cast<SUpdate*>(lHint)->m_iUpdateType);
        CSummaryView::OnUpdate(s, lHint, p);
    }
    std::vector<int> hints;
};

TEST_F(AppFixture, UnitSwitchNeedsAnXpsDocumentAndTellsEveryXpsDocument)
{
    auto saved = CVeltrane::s_makeSpecView;
    std::vector<HintView*> views;
    CVeltrane::s_makeSpecView = [&] {
        auto* v = new HintView;
        views.push_back(v);
        return v;
    };
    Start();
    EXPECT_FALSE(Action(ID_VIEW_UNITS_KE)->isEnabled()) << "no DAU and no XPS document";
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("a.vlt", 0x102, 2).toStdString().c_str()), nullptr);
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("b.vlt", 0x102, 2).toStdString().c_str()), nullptr);
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("aes.vlt", 0x102, 1).toStdString().c_str()), nullptr);
    ASSERT_EQ(views.size(), 3u);
    EXPECT_TRUE(Action(ID_VIEW_UNITS_KE)->isEnabled());
    EXPECT_TRUE(Action(ID_VIEW_UNITS_BE)->isChecked());
    EXPECT_FALSE(Action(ID_VIEW_UNITS_KE)->isChecked());

    EXPECT_TRUE(Execute(ID_VIEW_UNITS_BE));
    for (HintView* v : views)
        EXPECT_TRUE(v->hints.empty()) << "the same unit only beeps";
    EXPECT_TRUE(Execute(ID_VIEW_UNITS_KE));
    EXPECT_EQ(app->GetDefaultXPSUnit(), CVeltrane::KE);
    EXPECT_EQ(views[0]->hints, std::vector<int>{SUpdate::UnitChange});
    EXPECT_EQ(views[1]->hints, std::vector<int>{SUpdate::UnitChange});
    EXPECT_TRUE(views[2]->hints.empty()) << "an AES document keeps kinetic energies";
    EXPECT_TRUE(Action(ID_VIEW_UNITS_KE)->isChecked());
    Stop();
    CVeltrane::s_makeSpecView = saved;
}

TEST_F(AppFixture, AcquireCommandsNeedTheirSheetsAndTheUnits)
{
    Start();
    EXPECT_FALSE(Action(ID_ACQUIRE_UPS)->isEnabled());
    bool shown = false;
    AppHooks().showAESSheet = [&](CMainFrame&) { shown = true; };
    AppHooks().showXPSSheet = [&](CMainFrame&) { shown = true; };
    // No DAU reports a technique here: both stay greyed and do nothing.
    EXPECT_FALSE(Action(ID_ACQUIRE_AES)->isEnabled());
    EXPECT_FALSE(Action(ID_ACQUIRE_XPS)->isEnabled());
    EXPECT_FALSE(Execute(ID_ACQUIRE_XPS));
    EXPECT_FALSE(shown);
    // Help has no file here: greyed in every state.
    EXPECT_FALSE(Action(ID_HELP_FINDER)->isEnabled());
    EXPECT_FALSE(Action(ID_HELP)->isEnabled());
    EXPECT_FALSE(Action(ID_CONTEXT_HELP)->isEnabled());
    EXPECT_FALSE(Action(ID_FILE_SAVE)->isEnabled()) << "nothing to save";
    EXPECT_TRUE(Action(ID_FILE_OPEN)->isEnabled());
    // The view commands belong to the displays: greyed while none handles them
    // (image zoom and copy here; one position has no next sample). The
    // spectrum view offers full scale always.
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("a.vlt", 0x102).toStdString().c_str()), nullptr);
    for (unsigned id : {ID_VIEW_ZOOMIN, ID_DISP_SAMPLE, ID_EDIT_COPY})
        EXPECT_FALSE(Action(id)->isEnabled()) << id;
    EXPECT_TRUE(Action(ID_VIEW_FULLSCALE)->isEnabled());
    EXPECT_TRUE(Action(ID_FILE_SAVE)->isEnabled());
    EXPECT_TRUE(Action(ID_MONITOR)->isEnabled());
    EXPECT_TRUE(Action(ID_VIEW_OPTIONS)->isEnabled());
}

TEST_F(AppFixture, AcquireAndUnitsFollowTheTechniquesTheDauReports)
{
    Start();
    int aes = 0, xps = 0;
    AppHooks().showAESSheet = [&](CMainFrame&) { ++aes; };
    AppHooks().showXPSSheet = [&](CMainFrame&) { ++xps; };
    // The emulated DAU reports XPS, AES and UPS.
    app->m_pDAU->SetSourceID(0x201);
    ASSERT_EQ(app->m_pDAU->Open(), 0);
    ASSERT_EQ(app->m_pDAU->GetConfiguration(), 0);
    EXPECT_TRUE(Action(ID_ACQUIRE_AES)->isEnabled());
    EXPECT_FALSE(Action(ID_ACQUIRE_XPS)->isEnabled()) << "the stage unit is neither connected nor absent";
    EXPECT_FALSE(Execute(ID_ACQUIRE_XPS));
    app->m_pASCU->SetNotInstalled();
    EXPECT_TRUE(Action(ID_ACQUIRE_XPS)->isEnabled());
    EXPECT_FALSE(Action(ID_ACQUIRE_UPS)->isEnabled()) << "never offered, whatever the DAU reports";
    EXPECT_TRUE(Action(ID_VIEW_UNITS_BE)->isEnabled()) << "an XPS instrument needs no document";
    EXPECT_TRUE(Action(ID_VIEW_UNITS_BE)->isChecked());
    EXPECT_TRUE(Execute(ID_ACQUIRE_AES));
    EXPECT_TRUE(Execute(ID_ACQUIRE_XPS));
    EXPECT_EQ(aes, 1);
    EXPECT_EQ(xps, 1);
}

TEST_F(AppFixture, AnErrorPostedByAWorkerIsShownOnTheUserInterfaceThread)
{
    Start();
    Pump(700);
    sink.Clear();
    std::thread worker([&] {
        EXPECT_TRUE(PostAppMessage(frame, WMAPP_ERRMSG, 2064));
        EXPECT_TRUE(PostAppMessage(frame, WMAPP_ERRMSG, 0));
    });
    worker.join();
    Pump(20);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{Text(2064)}) << "an id of 0 shows nothing";
    ASSERT_EQ(sink.m_threads.size(), 1u);
    EXPECT_EQ(sink.m_threads[0], std::this_thread::get_id());
}

TEST_F(AppFixture, ProcessCommandsFollowTheOneToolRule)
{
    Start();
    int runs = 0;
    RegisterProcessTool(ID_PROCESS_SMOOTH, [&](CVeltraneView*) { ++runs; });
    RegisterProcessTool(ID_PROCESS_PELOMARTING, [&](CVeltraneView*) { ++runs; });
    EXPECT_FALSE(Action(ID_PROCESS_SMOOTH)->isEnabled()) << "no document";
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("a.vlt", 0x102).toStdString().c_str()), nullptr);
    // A document alone greys nothing: the quantification slot is empty until its sheet exists.
    EXPECT_TRUE(Action(ID_PROCESS_SMOOTH)->isEnabled());
    EXPECT_FALSE(Action(ID_PROCESS_PELOMARTING)->isEnabled()) << "curve fitting is never offered";
    EXPECT_FALSE(Action(ID_PROCESS_INTEGRATE)->isEnabled()) << "a tool not built yet";
    EXPECT_TRUE(Execute(ID_PROCESS_SMOOTH));
    EXPECT_EQ(runs, 1);

    QDialog open;
    QWidget sheet;
    struct
    {
        QDialog** dlg;
        QWidget** slot;
    } const tools[] = {{&CVeltraneView::m_pProcDlg, nullptr},
                       {nullptr, &SToolInstances::m_pChemPrfSheet},
                       {nullptr, &SToolInstances::m_pPelomarSheet},
                       {nullptr, &SToolInstances::m_pQuantifySheet}};
    for (auto& t : tools) {
        if (t.dlg)
            *t.dlg = &open;
        else
            *t.slot = &sheet;
        EXPECT_FALSE(Action(ID_PROCESS_SMOOTH)->isEnabled());
        if (t.dlg)
            *t.dlg = nullptr;
        else
            *t.slot = nullptr;
    }
    EXPECT_TRUE(Action(ID_PROCESS_SMOOTH)->isEnabled());
    RegisterProcessTool(ID_PROCESS_SMOOTH, nullptr);
}

TEST_F(AppFixture, OptionsPageDecodesAndEncodesTheWordsAndAnnouncesAModeChangeOnce)
{
    struct
    {
        int32_t word;
        int min, max;
    } const words[] = {{260, 2, 0}, {0x201, 0, 1}, {0x102, 1, 0}, {0x100, -1, 0}, {0x003, -1, -1}};
    for (auto& w : words) {
        EXPECT_EQ(COptionsSpecDisp::MinIndex(w.word), w.min) << w.word;
        EXPECT_EQ(COptionsSpecDisp::MaxIndex(w.word), w.max) << w.word;
    }
    EXPECT_EQ(COptionsSpecDisp::ProfileIndex(1), 0);
    EXPECT_EQ(COptionsSpecDisp::ProfileIndex(2), 1);
    EXPECT_EQ(COptionsSpecDisp::ProfileIndex(3), -1);

    auto saved = CVeltrane::s_makeSpecView;
    HintView* view = nullptr;
    CVeltrane::s_makeSpecView = [&] { return view = new HintView; };
    Start();
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("a.vlt", 0x102).toStdString().c_str()), nullptr);
    CRegistry::m_COptions.m_iFullscaleMode = 0x100; // no minimum bit
    {
        COptions sheet;
        ASSERT_TRUE(sheet.Create(nullptr));
        EXPECT_FALSE(sheet.findChild<QRadioButton*>("IDC_OPT_SPECDISP_MINZERO")->isEnabled());
        EXPECT_TRUE(sheet.findChild<QRadioButton*>("IDC_OPT_SPECDISP_OFFSET")->isChecked());
        sheet.accept();
    }
    EXPECT_TRUE(view->hints.empty()) << "OK without a change sends no hint";
    EXPECT_EQ(COptions::GetFullscaleMode(), 0x100) << "written back without a minimum";
    {
        COptions sheet;
        ASSERT_TRUE(sheet.Create(nullptr));
        sheet.findChild<QRadioButton*>("IDC_OPT_SPECDISP_STACKED")->setChecked(true);
        sheet.accept();
    }
    EXPECT_EQ(COptions::GetProfileMode(), 1);
    EXPECT_EQ(view->hints, std::vector<int>{SUpdate::DispMode});
    Stop();
    CVeltrane::s_makeSpecView = saved;
}

TEST(VeltraneView, NominalSizeIsTheLargestTableSizeNarrowerThanTheScreen)
{
    struct
    {
        int screen, w, h;
    } const cases[] = {{320, 640, 480},   {640, 640, 480},   {641, 640, 480},    {1024, 800, 600},
                       {1025, 1024, 768}, {1280, 1152, 864}, {2048, 1600, 1200}, {4000, 2048, 1536}};
    for (auto& c : cases)
        EXPECT_EQ(CVeltraneView::NominalSize(c.screen), QSize(c.w, c.h)) << c.screen;
}

TEST_F(AppFixture, MainWindowPlacementIsRestoredAndKeptWhenMinimised)
{
    Start();
    frame->setGeometry(50, 60, 800, 600);
    Stop();
    RegistryTestPeer::Reset();
    Start();
    EXPECT_EQ(frame->geometry(), QRect(50, 60, 800, 600)) << "the place of the last exit";
    frame->showMinimized();
    frame->DestroyWindow();
    EXPECT_EQ(CRegistry::m_CMainFrame.m_rWnd, (CRegistry::SRect{50, 60, 850, 660})) << "minimised keeps it";
    Stop();

    Start();
    frame->showMaximized();
    Stop();
    RegistryTestPeer::Reset();
    Start();
    EXPECT_TRUE(frame->CreateMaximized());
    EXPECT_TRUE(frame->isMaximized());
}

TEST_F(AppFixture, AnExitThatLeavesTheWindowsStandingKeepsTheirPlaceAndMode)
{
    // A logout or shutdown ends the event loop without closing the windows.
    for (const bool maximized : {false, true}) {
        SCOPED_TRACE(maximized ? "maximised" : "normal");
        Start();
        frame->setGeometry(60, 70, 700, 500);
        if (maximized)
            frame->showMaximized();
        CDocument* doc = app->OpenDocumentFile(WriteDataFile("a.vlt", 0x102).toStdString().c_str());
        ASSERT_NE(doc, nullptr);
        CMDIChildWnd* child = frame->GetChildFrames().value(0);
        ASSERT_NE(child, nullptr);
        if (maximized)
            child->showMaximized();
        else
            child->showNormal();
        Pump(0);
        app->ExitInstance();
        frame->DestroyWindow(); // only now, after the settings were written
        app.reset();
        frame = nullptr;
        Pump(0);

        RegistryTestPeer::Reset();
        Start();
        EXPECT_EQ(frame->CreateMaximized(), maximized);
        EXPECT_EQ(frame->normalGeometry(), QRect(60, 70, 700, 500));
        EXPECT_EQ(CRegistry::m_CChildFrame.m_bMaximized, maximized ? 1 : 0);
        Stop();
    }
}

TEST_F(AppFixture, ADocumentOpenedUnseenLeavesTheDocumentWindowsModeAlone)
{
    // The acquisition sheets read a set-up from a data file by opening it
    // unseen and closing it again.
    Start();
    const std::string path = WriteDataFile("a.vlt", 0x102).toStdString();
    for (const int32_t mode : {1, 0}) {
        SCOPED_TRACE(mode);
        CRegistry::m_CChildFrame.m_bMaximized = mode;
        CDocument* unseen = CVeltrane::OpenDocument(path.c_str(), false);
        ASSERT_NE(unseen, nullptr);
        dynamic_cast<CMultiDocTemplate*>(unseen->GetDocTemplate())->CloseDocument(unseen);
        Pump(0);
        EXPECT_EQ(CRegistry::m_CChildFrame.m_bMaximized, mode);
        CDocument* seen = app->OpenDocumentFile(path.c_str());
        ASSERT_NE(seen, nullptr);
        CMDIChildWnd* child = frame->GetChildFrames().value(0);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->isMaximized(), mode == 1);
        dynamic_cast<CMultiDocTemplate*>(seen->GetDocTemplate())->CloseDocument(seen);
        Pump(0);
        EXPECT_EQ(CRegistry::m_CChildFrame.m_bMaximized, mode) << "a window seen still tells";
    }
}

TEST_F(AppFixture, MainWindowLeftOnALargerScreenOpensOnThisOne)
{
    Start();
    frame->setGeometry(2900, 1500, 1200, 900); // as left on a 4K monitor, far right and down
    Stop();
    RegistryTestPeer::Reset();
    Start();
    // The offscreen platform puts a frame of its own round the window, so the
    // client area may sit a few pixels in from where it was placed.
    const QRect screen = frame->screen()->availableGeometry();
    const QRect placed = frame->geometry();
    EXPECT_TRUE(screen.contains(placed.topLeft())) << placed.x() << "," << placed.y();
    EXPECT_LE(placed.width(), screen.width());
    EXPECT_LE(placed.height(), screen.height());
}

TEST_F(AppFixture, MainWindowHasBothToolbarsTheStatusBarAndTheDropDownButtons)
{
    Start();
    ASSERT_NE(frame->GetToolBar(), nullptr);
    ASSERT_NE(frame->GetDispBar(), nullptr);
    EXPECT_EQ(frame->GetToolBar()->actions().size(), 19) << "15 buttons and 4 separators";
    for (unsigned id : {ID_DISP_SAMPLE, ID_DISP_REGION, ID_DISP_LEVEL}) {
        QToolButton* b = frame->GetDispButton(id);
        ASSERT_NE(b, nullptr) << id;
        EXPECT_EQ(b->popupMode(), QToolButton::MenuButtonPopup);
    }
    EXPECT_EQ(frame->GetDispButton(ID_DISP_SAMPLE)->text(), "Sample");
    EXPECT_EQ(frame->GetDispButton(ID_DISP_LEVEL)->text(), "Level");
    QStringList titles;
    for (QMenu* m : frame->GetMenus128())
        titles << m->title();
    EXPECT_EQ(titles, (QStringList{"&File", "&View", "&Acquire", "&Help"}));
    EXPECT_EQ(Action(ID_ACQUIRE_XPS)->statusTip(), "Setup and/or start an XPS experiment");
    EXPECT_EQ(Action(ID_ACQUIRE_XPS)->toolTip(), "XPS setup/start");
}

} // namespace
