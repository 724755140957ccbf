#include "app/InstrumentHooks.h"

#include "app/AppHooks.h"
#include "app/MainFrm.h"
#include "app/Veltrane.h"
#include "instrument/Acquire.h"
#include "instrument/ui/AcqHost.h"
#include "instrument/ui/ConfigDlg.h"
#include "instrument/ui/InstrumentStartup.h"

void InstallInstrumentHooks()
{
    SAppHooks& hooks = AppHooks();
    hooks.startConfiguration = [](CVeltrane& app, CMainFrame& frame) {
        if (!app.m_pASCU || !app.m_pDAU)
            return;
        app.m_pInstruments = std::make_unique<CInstrumentStartup>(app.m_Config, *app.m_pASCU, *app.m_pDAU);
        CInstrumentStartup::SFrame f;
        f.queueError = [&frame](int id) { frame.DelayedErrorReport(id); };
        f.openMonitor = [](bool bShow) { CMainFrame::OpenMonitor(bShow); };
        app.m_pInstruments->Start(f);
    };
    hooks.createAcquisition = [](CVeltrane& app) {
        app.m_pAcqHost = std::make_unique<CQtAcqHost>(app.m_pDAU.get());
        app.m_pAcq = std::make_unique<CAcquire>();
        app.m_pAcq->Attach(app.m_pAcqHost.get(), app.m_pDAU.get(), app.m_pASCU.get());
    };
    // Exit: a run still going (its document window already closed, or its
    // final save under way) is aborted and its worker waited for, while the
    // user interface keeps serving it, so no worker outlives the links.
    hooks.destroyAcquisition = [](CVeltrane& app) {
        if (app.m_pAcq)
            CQtAcqHost::AbortAndWait(*app.m_pAcq);
    };
    hooks.showConfiguration = [](QWidget* parent) {
        CVeltrane* app = CVeltrane::GetApp();
        if (!app)
            return;
        CConfigDlg dlg(app->m_Config, parent);
        dlg.DoModal();
    };
}
