#include "app/InstrumentHooks.h"

#include "app/AppHooks.h"
#include "app/MainFrm.h"
#include "app/Veltrane.h"
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
    hooks.showConfiguration = [](QWidget* parent) {
        CVeltrane* app = CVeltrane::GetApp();
        if (!app)
            return;
        CConfigDlg dlg(app->m_Config, parent);
        dlg.DoModal();
    };
}
