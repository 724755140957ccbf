#include "app/ProfileView.h"

#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/Update.h"
#include "data/Utility.h"
#include "data/VeltraneDoc.h"

#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace {
// The intensity of one level's curve of nz values (peak, backgrounds). A
// curve with fewer values than asked for gives what its values allow.
double Intensity(const CTrace* t, int nz)
{
    const int n = t && t->GetData() ? std::min(t->GetNumPoints(), std::clamp(nz, 1, 3)) : 0;
    return n > 0 ? CUtility::CalcIntensity(t->GetData(), n) : 0.0;
}
} // namespace

CProfileView::CProfileView() = default;

CProfileView::~CProfileView()
{
    // The curves point at the level values: the window goes first.
    ResetSpecWnds(0);
}

void CProfileView::OnInitialUpdate()
{
    CVeltraneDoc* doc = GetDocument();
    if (!doc || doc->GetPathName().empty())
        return;
    const int nPosns = doc->GetNumStagePosns();
    // A repeated initial update replaces the window and the level values.
    ResetSpecWnds(nPosns > 0 ? 1 : 0);
    m_iSample = 0;
    m_iDispWnd = 0;
    m_iDispTrace = 0;
    m_nDispWnds = nPosns > 0 ? 1 : 0;
    m_nDispTraces = nPosns > 0 ? doc->GetStagePosn(0)->GetNumSpecRgns() : 0;
    m_apdXData.assign(size_t(nPosns), {});
    m_adMin.assign(size_t(nPosns), CUtility::Infinity);
    m_adMax.assign(size_t(nPosns), -CUtility::Infinity);
    if (nPosns == 0)
        return;

    // The level values first: the axis spans every level value of every
    // position. Levels stored out of order, or a position whose levels run
    // further than another's, would otherwise put points off the axis.
    bool haveX = false;
    for (int s = 0; s < nPosns; ++s) {
        const CStagePosn* p = doc->GetStagePosn(s);
        // The level index is bounded by the levels there are; a position with
        // more points than levels counts the rest by index.
        const int L = std::max(p->GetNumTraces(), 0);
        const int nLevels = p->GetNumLevels();
        std::vector<double>& X = m_apdXData[size_t(s)];
        X.resize(size_t(L));
        for (int i = 0; i < L; ++i) {
            const CLevel* lv = i < nLevels ? p->GetLevel(i) : nullptr;
            X[size_t(i)] = lv ? lv->GetValue() : double(i);
            if (std::isfinite(X[size_t(i)])) {
                m_dXMin = haveX ? std::min(m_dXMin, X[size_t(i)]) : X[size_t(i)];
                m_dXMax = haveX ? std::max(m_dXMax, X[size_t(i)]) : X[size_t(i)];
                haveX = true;
            }
        }
    }
    if (!haveX)
        m_dXMin = m_dXMax = 0.0;

    auto w = std::make_unique<CSpecWnd>(nPosns);
    // The curves of a position share one intensity scale: they are overlaid,
    // as outlines, so that none hides another.
    w->SetDispMode(CSpecWnd::Overlay, false);
    for (int s = 0; s < nPosns; ++s) {
        CStagePosn* p = doc->GetStagePosn(s);
        const int R = p->GetNumSpecRgns();
        w->SetNumTraces(R, s);
        const int L = int(m_apdXData[size_t(s)].size());
        std::vector<double>& X = m_apdXData[size_t(s)];
        for (int j = 0; j < R && L > 0; ++j) {
            const CSpecRgn* r = p->GetSpecRgn(j);
            const int nz = r ? r->GetNumPoints_z() : 1;
            auto* Y = new double[size_t(L)];
            for (int k = 0; k < L; ++k)
                Y[k] = Intensity(r ? r->GetTrace(k) : nullptr, nz);
            // The scale is that of the values that are numbers: an imported
            // "nan" or "inf" at one level must not cost every level its scale.
            double lo = CUtility::Infinity, hi = -CUtility::Infinity;
            for (int k = 0; k < L; ++k)
                if (std::isfinite(Y[k])) {
                    lo = std::min(lo, Y[k]);
                    hi = std::max(hi, Y[k]);
                }
            const bool any = lo <= hi;
            if (!any)
                lo = hi = 0.0;
            w->SetDataAutoDelete(TRUE, j, s);
            w->SetYData(Y, lo, hi, L, j, s);
            w->SetXData(X.data(), m_dXMin, m_dXMax, L, j, s);
            w->SetSymbol(GetSymbol(j), j, s);
            if (CSpecTrace* t = w->GetSpecTrace(j, s))
                t->SetDispMode(CSpecTrace::Transparent);
            if (any) {
                m_adMin[size_t(s)] = std::min(m_adMin[size_t(s)], lo);
                m_adMax[size_t(s)] = std::max(m_adMax[size_t(s)], hi);
            }
        }
        w->SetCaption("Fast Profile", s);
        w->SetHorzAxisLabel(" Secs", s);
    }
    w->Create(this, RECT{}, FirstSpecWndID);
    w->installEventFilter(this);
    m_caSpecWnd[0] = std::move(w);

    SetViewSize(true);
    SetWindowPositions();
    CSpecWnd* pw = GetSpecWnd(0);
    for (int s = nPosns - 1; s >= 0; --s) {
        // A position without intensities gets a plain 0..1 scale.
        double dMax = m_adMax[size_t(s)], dMin = m_adMin[size_t(s)];
        if (!(dMin <= dMax)) {
            dMin = 0.0;
            dMax = 1.0;
        }
        pw->SetDispPlane(s, FALSE);
        pw->Show(true, &dMax, &dMin, m_dXMin, m_dXMax);
    }
    ReadDispTraces(pw);
    update();
}

void CProfileView::resizeEvent(QResizeEvent* e)
{
    CProfileViewBase::resizeEvent(e);
    LayOutForSize();
}

bool CProfileView::SelectSample(int iSample)
{
    CSpecWnd* w = GetSpecWnd(0);
    if (!w || iSample < 0 || iSample >= w->GetNumPlanes())
        return false;
    m_iSample = iSample;
    w->SetDispPlane(iSample, TRUE);
    SetDispTrace(m_nDispTraces > 1 ? AllTraces : m_iDispTrace);
    update();
    return true;
}

bool CProfileView::SelectRegion(int)
{
    return true;
}

void CProfileView::OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint)
{
    if (lHint == 0) {
        if (!pSender && !pHint)
            OnInitialUpdate();
        return;
    }
    const auto* u = reinterpret_cast<const SUpdate*>(lHint);
    if (u->m_iUpdateType == SUpdate::Acquire)
        OnAcquire(*static_cast<const SAcqUpdate*>(u));
}

void CProfileView::OnAcquire(const SAcqUpdate& u)
{
    if (u.m_iType != int(WMAPP_ACQ_INTENSITYDATA))
        return;
    CSpecWnd* w = GetSpecWnd(0);
    CStagePosn* p = GetStagePosn(u.m_iPosn);
    if (!w || !p || u.m_iPosn >= w->GetNumPlanes() || u.m_iRgn < 0 ||
        u.m_iRgn >= w->GetNumTraces(u.m_iPosn) || u.m_iRgn >= p->GetNumSpecRgns())
        return;
    if (u.m_iTrace < 0 || u.m_iTrace >= w->GetNumPoints(u.m_iRgn, u.m_iPosn))
        return;
    double* slot = w->GetYData(u.m_iTrace, u.m_iRgn, u.m_iPosn);
    const CSpecRgn* r = p->GetSpecRgn(u.m_iRgn);
    if (!slot || !r)
        return;
    *slot = Intensity(r->GetTrace(u.m_iTrace), u.m_iEnd);
    w->OnUpdate(u.m_iTrace, u.m_iTrace, u.m_iRgn, u.m_iPosn);
}
