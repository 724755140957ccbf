// The Process commands of the spectrum view open these dialogs; the main
// frame's unit change reaches the open one.

#include "analysis/ui/BackgroundDlg.h"
#include "analysis/ui/ChargeCorrn.h"
#include "analysis/ui/ChemPrf.h"
#include "analysis/ui/Differentiate.h"
#include "analysis/ui/Integrate.h"
#include "analysis/ui/ProcDlg.h"
#include "analysis/ui/QuantifySheet.h"
#include "analysis/ui/Satellite.h"
#include "analysis/ui/Smooth.h"
#include "analysis/ui/SpikeRemoval.h"
#include "app/AppHooks.h"
#include "app/SpecViewBase.h"
#include "app/SummaryView.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/Resources.h"
#include "platform/MessageSink.h"
#include "res/resource.h"

namespace {

// Makes the dialog and its window; a coefficient file that cannot be used
// is reported with the framework's file message and no dialog opens.
template <class T> void Open(CVeltraneView* view, unsigned idd)
{
    auto* spec = dynamic_cast<CSpecViewBase*>(view);
    if (!spec)
        return;
    T* dlg = nullptr;
    try {
        dlg = new T;
    } catch (const CFileException& e) {
        AfxMessageBox(FileExceptionMessage(e, false));
        return;
    }
    if (!dlg->Create(idd, spec))
        delete dlg;
}

} // namespace

void OpenBackgroundSubtractDlg(CSpecViewBase* pView)
{
    Open<CBackgroundDlg>(pView, IDD_BACKGROUND);
}

void InstallProcessTools()
{
    RegisterProcessTool(ID_PROCESS_SMOOTH, [](CVeltraneView* v) { Open<CSmooth>(v, IDD_SMOOTH); });
    RegisterProcessTool(ID_PROCESS_DIFFERENTIATE,
                        [](CVeltraneView* v) { Open<CDifferentiate>(v, IDD_DIFFERENTIATE); });
    RegisterProcessTool(ID_PROCESS_INTEGRATE, [](CVeltraneView* v) { Open<CIntegrate>(v, IDD_INTEGRATE); });
    RegisterProcessTool(ID_PROCESS_SATELLITE, [](CVeltraneView* v) { Open<CSatellite>(v, IDD_SATELLITE); });
    RegisterProcessTool(ID_PROCESS_SPIKEREMOVAL, [](CVeltraneView* v) { Open<CSpikeRemoval>(v, IDD_SPIKE); });
    RegisterProcessTool(ID_PROCESS_CHARGECORRN,
                        [](CVeltraneView* v) { Open<CChargeCorrn>(v, IDD_CHARGECORRN); });
    // The background command goes through the document, which keeps the limits.
    RegisterProcessTool(ID_PROCESS_BACKGROUNDSUBTRACTION, [](CVeltraneView* v) {
        if (CVeltraneDoc* doc = v ? v->GetDocument() : nullptr)
            doc->OpenBackgroundSubtractDlg(v);
    });
    // The quantification sheet goes through the document, which keeps its state.
    RegisterProcessTool(ID_PROCESS_QUANTIFICATION, [](CVeltraneView* v) {
        if (CVeltraneDoc* doc = v ? v->GetDocument() : nullptr)
            doc->OpenQuantifyPropertySheet(v);
    });
    CVeltraneDoc::s_openQuantifyPropertySheet = [](CVeltraneDoc&, IDocView* view) {
        CQuantifySheet::Open(dynamic_cast<CSpecViewBase*>(view));
    };
    CVeltraneDoc::s_openBackgroundSubtractDlg = [](CVeltraneDoc&, IDocView* view) {
        OpenBackgroundSubtractDlg(dynamic_cast<CSpecViewBase*>(view));
    };
    InstallChemPrfTool();
    AppHooks().procDlgUnitChange = [](int from, int to) {
        if (auto* dlg = dynamic_cast<CProcDlg*>(CVeltraneView::m_pProcDlg))
            dlg->OnUnitChange(from, to);
    };
}
