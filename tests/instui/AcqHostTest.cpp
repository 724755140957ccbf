// The acquisition engine's user-interface side: data blocks reach the window
// on the user-interface thread while the worker waits, saves run there, the
// monitor poll is restarted there, and an abort at exit waits for the worker
// while the events go on being handled.

#include "tests/instrument/AcquireSupport.h"

#include "data/SpecRgn.h"
#include "data/Trace.h"
#include "framework/ui/AppMessage.h"
#include "instrument/ui/AcqHost.h"
#include "platform/File.h"

#include <QApplication>
#include <QThread>

namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "acqhost_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class CNotifyWnd : public QObject, public IAppMessageHandler
{
public:
    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override
    {
        EXPECT_EQ(QThread::currentThread(), App().thread());
        switch (message) {
        case WMAPP_ACQ_START:
            m_bStarted = true;
            break;
        case WMAPP_ACQ_END:
            m_iResult = static_cast<long long>(wParam);
            m_iMonitor = static_cast<long long>(lParam);
            break;
        default: {
            auto* update = reinterpret_cast<SAcqUpdate*>(lParam);
            update->m_pDoc->UpdateAllViews(nullptr, lParam);
            ++m_nBlocks;
            if (m_onBlock)
                m_onBlock();
        }
        }
        return 0;
    }
    bool m_bStarted = false;
    long long m_iResult = -1;
    long long m_iMonitor = -1;
    int m_nBlocks = 0;
    std::function<void()> m_onBlock;
};

bool PumpUntil(const std::function<bool()>& done, int seconds = 10)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

std::vector<double> Values(const CVeltraneDoc& doc)
{
    std::vector<double> v;
    const CSpecRgn* r = doc.GetStagePosn(0)->GetSpecRgn(0);
    for (int t = 0; t < r->GetNumTraces(); ++t)
        for (int k = 0; k < r->GetTrace(t)->GetNumPoints(); ++k)
            v.push_back(r->GetTrace(t)->GetData()[k]);
    return v;
}

struct SQtRun
{
    SQtRun(int points, int scans) : m_host(&m_rig.m_dau.m_dau)
    {
        App();
        m_dir = MakeTempDir();
        m_rig.m_dau.m_dau.SetMonitorTimer(&m_timer);
        m_rig.m_acq.Attach(&m_host, &m_rig.m_dau.m_dau, &m_rig.m_ascu.m_ascu);
        m_region = MakeRegion(0, points, 1, scans);
        m_sheet.type = CAcquireXPS::Widescan;
        m_sheet.rgn.m_WidescanRegions = {m_region.get()};
        m_path = (m_dir / "qt.vlt").string();
        EXPECT_EQ(BuildDocument(m_doc, m_sheet, 1, 1, m_path), "");
    }
    ~SQtRun()
    {
        CQtAcqHost::AbortAndWait(m_rig.m_acq);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    CFakeTimer m_timer; // outlives the link, which stops its poll
    SAcqRig m_rig;
    CQtAcqHost m_host;
    std::filesystem::path m_dir;
    std::unique_ptr<CRegion> m_region;
    SFakeXPS m_sheet;
    CVeltraneDoc m_doc;
    std::string m_path;
    CNotifyWnd m_wnd;
};

} // namespace

TEST(AcqHost, RunThroughTheUserInterfaceThread)
{
    SQtRun run(250, 2);
    ASSERT_EQ(run.m_rig.m_acq.StartAcquiring(&run.m_doc, &run.m_wnd), 0);
    ASSERT_TRUE(PumpUntil([&] { return run.m_wnd.m_iResult >= 0; }));
    EXPECT_TRUE(run.m_wnd.m_bStarted);
    EXPECT_EQ(run.m_wnd.m_iResult, 0);
    EXPECT_EQ(run.m_wnd.m_iMonitor, 0);
    EXPECT_GE(run.m_wnd.m_nBlocks, 6);
    EXPECT_TRUE(run.m_rig.m_dau.m_dau.IsMonitoring());
    // The end is posted after the final save: the file already holds it all.
    CVeltraneDoc back;
    CFile file;
    ASSERT_TRUE(file.Open(run.m_path, CFile::modeRead));
    ASSERT_TRUE(back.ReadFrom(file));
    EXPECT_EQ(Values(back), Values(run.m_doc));
    EXPECT_FALSE(run.m_rig.m_acq.IsAcquiring(&run.m_doc));
}

// What the exit and the close of a document being acquired do: abort, then
// wait on the user-interface thread, which keeps serving the worker's save.
TEST(AcqHost, AbortAndWaitServesTheWorker)
{
    SQtRun run(250, 50);
    // The first block ends the run (the worker waits while the block is handled).
    bool acquiring = false;
    run.m_wnd.m_onBlock = [&] {
        if (run.m_wnd.m_nBlocks == 1) {
            acquiring = run.m_rig.m_acq.IsAcquiring(&run.m_doc);
            run.m_rig.m_acq.StopAcquiring(true);
        }
    };
    ASSERT_EQ(run.m_rig.m_acq.StartAcquiring(&run.m_doc, &run.m_wnd), 0);
    ASSERT_TRUE(PumpUntil([&] { return run.m_wnd.m_nBlocks > 0; }));
    EXPECT_TRUE(acquiring);
    CQtAcqHost::AbortAndWait(run.m_rig.m_acq);
    EXPECT_FALSE(run.m_rig.m_acq.IsBusy());
    EXPECT_FALSE(run.m_rig.m_acq.IsAcquiring(&run.m_doc));
    ASSERT_TRUE(PumpUntil([&] { return run.m_wnd.m_iResult >= 0; }));
    EXPECT_EQ(run.m_wnd.m_iResult, 5121);
    CVeltraneDoc back;
    CFile file;
    ASSERT_TRUE(file.Open(run.m_path, CFile::modeRead));
    ASSERT_TRUE(back.ReadFrom(file));
    EXPECT_EQ(Values(back), Values(run.m_doc));
}
