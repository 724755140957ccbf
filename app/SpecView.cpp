#include "app/SpecView.h"

#include "app/Options.h"
#include "app/SummaryView.h"
#include "app/Veltrane.h"
#include "app/ViewTools.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/Source.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/Update.h"
#include "data/VeltraneDoc.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace {
constexpr unsigned kProcessCommands[] = {ID_PROCESS_SMOOTH,       ID_PROCESS_DIFFERENTIATE,
                                         ID_PROCESS_INTEGRATE,    ID_PROCESS_SATELLITE,
                                         ID_PROCESS_SPIKEREMOVAL, ID_PROCESS_BACKGROUNDSUBTRACTION,
                                         ID_PROCESS_CHARGECORRN,  ID_PROCESS_CHEMICALPROFILING,
                                         ID_PROCESS_PELOMARTING,  ID_PROCESS_QUANTIFICATION};
constexpr int kTechniqueAES = 1;
constexpr int kTechniqueXPS = 2;
constexpr int kTechniqueUPS = 4;
} // namespace

CSpecView::CSpecView()
{
    OnCommand(ID_VIEW_FULLSCALE, [this] { OnFullScale(); });
    OnUpdateCommand(ID_VIEW_FULLSCALE, [](CCmdUI* ui) { ui->Enable(true); });
    for (unsigned id : kProcessCommands) {
        OnCommand(id, [this, id] {
            if (id != ID_PROCESS_PELOMARTING && SToolInstances::NoToolOpen())
                RunProcessTool(id, this);
        });
        // One tool at a time in the whole program; curve fitting is never
        // offered from here. A tool that is not built yet stays greyed.
        OnUpdateCommand(id, [this, id](CCmdUI* ui) {
            ui->Enable(id != ID_PROCESS_PELOMARTING && HasProcessTool(id) && SToolInstances::NoToolOpen() &&
                       !CVeltrane::IsAcquiring(GetDocument()));
        });
    }
}

CSpecView::~CSpecView() = default;

bool CSpecView::OnCmdMsg(unsigned id, CCmdUI* pUI)
{
    if (id == ID_VIEW_UNITS_KE || id == ID_VIEW_UNITS_BE) {
        // AES is always in kinetic energy; other documents leave the units to the main frame.
        const CVeltraneDoc* doc = GetDocument();
        if (!doc || doc->GetTechnique() != kTechniqueAES)
            return false;
        if (pUI) {
            pUI->Enable(false);
            pUI->SetCheck(id == ID_VIEW_UNITS_KE ? 1 : 0);
        }
        return true;
    }
    return CSpecViewBase::OnCmdMsg(id, pUI);
}

int CSpecView::GetEnergyUnit() const
{
    const CVeltraneDoc* doc = GetDocument();
    switch (doc ? doc->GetTechnique() : 0) {
    // UPS spectra follow the binding/kinetic choice the main frame offers for them too.
    case kTechniqueXPS:
    case kTechniqueUPS: {
        const CVeltrane* app = CVeltrane::GetApp();
        return app ? app->GetCurrentXPSUnit() : CVeltrane::BE;
    }
    case kTechniqueAES:
        return CVeltrane::KE;
    default:
        return CVeltrane::None;
    }
}

int CSpecView::GetDispModeOption()
{
    return (COptions::GetProfileMode() & 2) ? CSpecWnd::Offset : CSpecWnd::Stack;
}

CSpecView::SLimits CSpecView::GetFullScaleLimits(int iPosn) const
{
    SLimits l;
    const CStagePosn* p = GetStagePosn(iPosn);
    if (!p)
        return l;
    const int32_t mode = COptions::GetFullscaleMode();
    if (mode & 0x100) {
        l.dMax = p->GetMaxValue();
        l.bMax = true;
    }
    if (mode & 1) {
        l.dMin = p->GetMinValue();
        l.bMin = true;
    } else if (mode & 4) {
        l.dMin = 0.0;
        l.bMin = true;
        l.bZero = true;
    }
    return l;
}

double CSpecView::GetPaneMinimum(const SLimits& l, int iPosn, int iRgn) const
{
    // A differentiated curve, or a differential Auger spectrum, swings below
    // zero: a pane held at zero showed only its upper half.
    const CStagePosn* p = GetStagePosn(iPosn);
    if (l.bZero && p && iRgn >= 0 && iRgn < p->GetNumSpecRgns())
        return std::min(l.dMin, p->GetSpecRgn(iRgn)->GetMinValue());
    return l.dMin;
}

void CSpecView::GetEnergyRange(int iPosn, int iRgn, double& dStart, double& dFinish) const
{
    dStart = 0.0;
    dFinish = 0.0;
    const CVeltraneDoc* doc = GetDocument();
    const CStagePosn* p = GetStagePosn(iPosn);
    const CSpecRgn* r = p && iRgn >= 0 && iRgn < p->GetNumSpecRgns() ? p->GetSpecRgn(iRgn) : nullptr;
    if (!doc || !r)
        return;
    const int unit = GetEnergyUnit();
    dStart = doc->GetSource()->ConvertEnergy(r->GetStart(), CVeltrane::KE, unit);
    dFinish = doc->GetSource()->ConvertEnergy(r->GetFinish(), CVeltrane::KE, unit);
}

void CSpecView::OnInitialUpdate()
{
    CVeltraneDoc* doc = GetDocument();
    // A new document gets its windows once it has been saved.
    if (!doc || doc->GetPathName().empty())
        return;
    const int nPosns = doc->GetNumStagePosns();
    int nWnds = 0;
    for (int j = 0; j < nPosns; ++j)
        nWnds = std::max(nWnds, doc->GetStagePosn(j)->GetNumSpecRgns());
    ResetSpecWnds(nWnds);
    m_iSample = 0;
    m_iDispWnd = 0;
    m_nDispWnds = nPosns > 0 ? doc->GetStagePosn(0)->GetNumSpecRgns() : 0;

    const int mode = GetDispModeOption();
    const std::string sep = LoadString(1150);
    for (int i = 0; i < nWnds; ++i) {
        auto w = std::make_unique<CSpecWnd>(nPosns);
        w->SetDispMode(mode, false);
        for (int j = 0; j < nPosns; ++j) {
            CStagePosn* p = doc->GetStagePosn(j);
            if (p->GetNumSpecRgns() <= i)
                continue;
            CSpecRgn* r = p->GetSpecRgn(i);
            const int L = p->GetNumTraces();
            w->SetNumTraces(L, j);
            for (int k = 0; k < L; ++k) {
                CTrace* t = r->GetTrace(k);
                // A curve shorter than its region is shown as far as it goes.
                const int n = t ? std::min(r->GetNumPoints(), t->GetNumPoints()) : 0;
                if (n >= 1 && t->GetData())
                    w->SetYData(t->GetData(), t->GetMinValue(), t->GetMaxValue(), n, k, j);
            }
            w->SetCaption(r->GetName() + sep + r->GetRegion(), j);
            w->SetHorzAxisLabel(" (eV)", j);
        }
        w->Create(this, RECT{}, FirstSpecWndID + i);
        w->installEventFilter(this);
        m_caSpecWnd[static_cast<size_t>(i)] = std::move(w);
    }
    if (nWnds == 0)
        return;

    SetViewSize(true);
    SetWindowPositions();
    for (int j = nPosns - 1; j >= 0; --j) {
        const SLimits l = GetFullScaleLimits(j);
        const int n = std::min(doc->GetStagePosn(j)->GetNumSpecRgns(), nWnds);
        for (int i = 0; i < n; ++i) {
            double dStart, dFinish;
            GetEnergyRange(j, i, dStart, dFinish);
            double dMax = l.dMax, dMin = GetPaneMinimum(l, j, i);
            CSpecWnd* w = GetSpecWnd(i);
            w->SetDispPlane(j, FALSE);
            w->Show(true, l.bMax ? &dMax : nullptr, l.bMin ? &dMin : nullptr, dStart, dFinish);
        }
    }
    // Only the windows of the first position are on show.
    for (int i = m_nDispWnds; i < nWnds; ++i)
        GetSpecWnd(i)->Show(FALSE);
    if (CSpecWnd* w = GetSpecWnd())
        ReadDispTraces(w);
    update();
}

void CSpecView::resizeEvent(QResizeEvent* e)
{
    CSpecViewBase::resizeEvent(e);
    LayOutForSize();
}

void CSpecView::OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint)
{
    if (lHint == 0) {
        if (!pSender && !pHint)
            OnInitialUpdate();
        return;
    }
    const auto* u = reinterpret_cast<const SUpdate*>(lHint);
    switch (u->m_iUpdateType) {
    case SUpdate::Acquire:
        OnAcquire(*static_cast<const SAcqUpdate*>(u));
        break;
    case SUpdate::Process:
        OnProcess(*static_cast<const SViewUpdate*>(u));
        break;
    case SUpdate::UnitChange:
        OnUnitChange();
        break;
    case SUpdate::DispMode:
        OnDispModeChange();
        break;
    default:
        break;
    }
}

void CSpecView::OnAcquire(const SAcqUpdate& u)
{
    if (u.m_iType != static_cast<int>(WMAPP_ACQ_SPECTRALDATA))
        return;
    // Follow the acquisition to the next position unless the user has moved on.
    if (u.m_iStart == 1 && u.m_iScan == 0 && u.m_iRgn == 0 && u.m_iTrace == 0 && m_iSample == u.m_iPosn - 1)
        SelectSample(u.m_iPosn);
    CSpecWnd* w = GetSpecWnd(u.m_iRgn);
    if (!w || u.m_iPosn < 0 || u.m_iPosn >= w->GetNumPlanes() || u.m_iTrace < 0 ||
        u.m_iTrace >= w->GetNumTraces(u.m_iPosn))
        return;
    const int n = w->GetNumPoints(u.m_iTrace, u.m_iPosn);
    const int first = std::max(u.m_iStart - 1, 0);
    const int last = std::min(u.m_iEnd - 1, n - 1);
    if (first > last)
        return;
    w->OnUpdate(first, last, u.m_iTrace, u.m_iPosn);
}

void CSpecView::OnProcess(const SViewUpdate& u)
{
    const int nWnds = GetNumSpecWnds();
    const unsigned endW = std::min<unsigned>(u.m_nWnds, static_cast<unsigned>(nWnds));
    for (unsigned i = u.m_uiWnd; i < endW; ++i) {
        CSpecWnd* w = GetSpecWnd(static_cast<int>(i));
        if (!w)
            continue;
        const unsigned endP = std::min<unsigned>(u.m_nPlanes, static_cast<unsigned>(w->GetNumPlanes()));
        for (unsigned j = u.m_uiPlane; j < endP; ++j) {
            const int plane = static_cast<int>(j);
            const unsigned endT =
                std::min<unsigned>(u.m_nTraces, static_cast<unsigned>(w->GetNumTraces(plane)));
            CStagePosn* p = GetStagePosn(plane);
            CSpecRgn* r =
                p && static_cast<int>(i) < p->GetNumSpecRgns() ? p->GetSpecRgn(static_cast<int>(i)) : nullptr;
            for (unsigned k = u.m_uiTrace; k < endT; ++k) {
                const int trace = static_cast<int>(k);
                const int n = w->GetNumPoints(trace, plane);
                if (n > 0)
                    w->OnUpdate(0, n - 1, trace, plane);
                // The record keeps the limits of the processed data.
                CSpecTrace* st = w->GetSpecTrace(trace, plane);
                CTrace* t = r ? r->GetTrace(trace) : nullptr;
                if (st && t) {
                    t->SetMinValue(st->GetMinValue());
                    t->SetMaxValue(st->GetMaxValue());
                }
            }
        }
    }
}

void CSpecView::OnUnitChange()
{
    for (int j = 0; j < GetNumSamples(); ++j) {
        const int n = GetNumRgns(j);
        for (int i = 0; i < n; ++i) {
            CSpecWnd* w = GetSpecWnd(i);
            if (!w || j >= w->GetNumPlanes())
                continue;
            double dStart, dFinish;
            GetEnergyRange(j, i, dStart, dFinish);
            w->SetHorzAxisUnits(dStart, dFinish, j);
            w->Invalidate(CSpecWnd::HorzAxis, true);
        }
    }
}

void CSpecView::OnDispModeChange()
{
    const int mode = GetDispModeOption();
    for (int i = 0; i < GetNumSpecWnds(); ++i) {
        CSpecWnd* w = GetSpecWnd(i);
        if (!w)
            continue;
        w->SetDispMode(mode, false);
        if (m_nDispTraces > 1 && IsVisible(i)) {
            w->Show(TRUE);
            w->Invalidate(true);
        }
    }
}

void CSpecView::OnFullScale()
{
    const SLimits l = GetFullScaleLimits(m_iSample);
    int first = 0, last = GetNumRgns(m_iSample) - 1;
    if (m_iActiveWnd >= 0)
        first = last = m_iActiveWnd;
    for (int i = first; i <= last; ++i) {
        CSpecWnd* w = GetSpecWnd(i);
        if (!w)
            continue;
        double dStart, dFinish;
        GetEnergyRange(m_iSample, i, dStart, dFinish);
        double dMax = l.dMax, dMin = GetPaneMinimum(l, m_iSample, i);
        const bool visible = m_nDispWnds > 1 || i == m_iDispWnd;
        w->Show(visible, l.bMax ? &dMax : nullptr, l.bMin ? &dMin : nullptr, dStart, dFinish);
        if (visible)
            w->Invalidate(CSpecWnd::TraceArea | CSpecWnd::HorzAxis | CSpecWnd::VertAxis, true);
    }
}

void CSpecView::OnDestroy()
{
    // No tool outlives the view it works on.
    auto on = [this](IViewTool* t) { return t && t->GetView() == this ? t : nullptr; };
    if (IViewTool* t = on(GetProcDlgTool()))
        t->OnCancel();
    if (IViewTool* t = on(ChemPrfSheetTool()))
        t->DestroyWindow();
    if (IViewTool* t = on(QuantifySheetTool()))
        t->DestroyWindow();
    if (IViewTool* t = on(PelomarSheetTool()))
        t->CloseWindow();
    CSpecViewBase::OnDestroy();
}
