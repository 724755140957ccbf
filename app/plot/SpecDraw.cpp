#include "app/plot/SpecDraw.h"

#include "app/plot/PaintUtil.h"

#include <QPainter>
#include <algorithm>

using namespace plot;

CSpecDraw::CSpecDraw(const CSpecDraw& s)
    : m_rTrace(s.m_rTrace), m_rDisp(s.m_rDisp), m_ptShifts(s.m_ptShifts), m_iDispMode(s.m_iDispMode),
      m_iDispTrace(s.m_iDispTrace), m_nDispTraces(s.m_nDispTraces), m_nDispStep(s.m_nDispStep)
{
    m_caSpecTraces.reserve(s.m_caSpecTraces.size());
    for (const auto& t : s.m_caSpecTraces)
        m_caSpecTraces.push_back(std::make_unique<CSpecTrace>(*t));
}

void CSpecDraw::SetNumTraces(int n)
{
    m_caSpecTraces.clear();
    for (int i = 0; i < n; ++i)
        m_caSpecTraces.push_back(std::make_unique<CSpecTrace>());
    const plot::SDispTraces d = plot::AllDispTraces(n);
    m_iDispTrace = d.iFirst;
    m_nDispStep = d.nStep;
    m_nDispTraces = d.nCount;
}

CSpecTrace* CSpecDraw::GetSpecTrace(int i) const
{
    return i >= 0 && i < GetNumTraces() ? m_caSpecTraces[size_t(i)].get() : nullptr;
}

int CSpecDraw::GetNumPoints(int iTrace) const
{
    const CSpecTrace* t = GetSpecTrace(iTrace);
    return t ? t->GetNumPoints() : 0;
}

double* CSpecDraw::GetYData(int* pnPts, int iTrace) const
{
    const CSpecTrace* t = GetSpecTrace(iTrace);
    if (!t) {
        *pnPts = 0;
        return nullptr;
    }
    return t->GetYData(pnPts);
}

double* CSpecDraw::GetYData(int i, int iTrace) const
{
    const CSpecTrace* t = GetSpecTrace(iTrace);
    return t ? t->GetYData(i) : nullptr;
}

void CSpecDraw::SetYData(double* p, double dMin, double dMax, int nPts, int iTrace)
{
    if (CSpecTrace* t = GetSpecTrace(iTrace))
        t->SetYData(p, dMin, dMax, nPts);
}

void CSpecDraw::SetXData(const double* p, double dMin, double dMax, int nPts, int iTrace)
{
    if (CSpecTrace* t = GetSpecTrace(iTrace))
        t->SetXData(p, dMin, dMax, nPts);
}

void CSpecDraw::SetPen(QPen* pPen, int iTrace)
{
    if (CSpecTrace* t = GetSpecTrace(iTrace))
        t->SetPen(pPen);
}

void CSpecDraw::SetSymbol(const CSymbol* pSymbol, int iTrace)
{
    if (CSpecTrace* t = GetSpecTrace(iTrace))
        t->SetSymbol(pSymbol);
}

void CSpecDraw::SetDataAutoDelete(BOOL b, int iTrace)
{
    if (CSpecTrace* t = GetSpecTrace(iTrace))
        t->SetDataAutoDelete(b);
}

double CSpecDraw::GetMaxValue() const
{
    double v = m_caSpecTraces.empty() ? 0 : m_caSpecTraces.front()->GetMaxValue();
    for (const auto& t : m_caSpecTraces)
        v = std::max(v, t->GetMaxValue());
    return v;
}

double CSpecDraw::GetMinValue() const
{
    double v = m_caSpecTraces.empty() ? 0 : m_caSpecTraces.front()->GetMinValue();
    for (const auto& t : m_caSpecTraces)
        v = std::min(v, t->GetMinValue());
    return v;
}

void CSpecDraw::SetDispTrace(int iFirst)
{
    const plot::SDispTraces d =
        plot::MoveDispTraces({m_iDispTrace, m_nDispStep, m_nDispTraces}, GetNumTraces(), iFirst);
    m_iDispTrace = d.iFirst;
    m_nDispStep = d.nStep;
    m_nDispTraces = d.nCount;
    SetVisible(TRUE);
}

void CSpecDraw::SetDispTrace(int iFirst, int iStep, int nCount)
{
    const int n = GetNumTraces();
    if (iFirst < 0 || iStep < 1 || nCount < 1 || nCount > n || iFirst + (long long)(nCount - 1) * iStep >= n)
        return; // the caller's guarantee broken: keep what is shown
    m_iDispTrace = iFirst;
    m_nDispStep = iStep;
    m_nDispTraces = nCount;
    SetVisible(TRUE);
}

void CSpecDraw::SetDispMode(int iMode, bool)
{
    if (iMode >= Stack && iMode <= Overlay)
        m_iDispMode = iMode;
}

bool CSpecDraw::IsShown(int i) const
{
    if (m_nDispTraces < 1 || i < m_iDispTrace)
        return false;
    const int k = (i - m_iDispTrace) / m_nDispStep;
    return (i - m_iDispTrace) % m_nDispStep == 0 && k < m_nDispTraces;
}

void CSpecDraw::SetVisible(BOOL bVisible)
{
    for (auto& t : m_caSpecTraces)
        t->SetVisible(FALSE);
    if (bVisible)
        ForShown([](CSpecTrace* t) { t->SetVisible(TRUE); });
}

int CSpecDraw::SetRect(const CRect* pRect, BOOL bX, BOOL bY)
{
    m_rDisp = *pRect;
    m_rTrace = plot::CalcTraceRect(m_rDisp, m_iDispMode, m_nDispTraces, &m_ptShifts);
    CRect r = m_rTrace;
    ForShown([&](CSpecTrace* t) {
        t->SetRect(&r, bX, bY);
        r.OffsetRect(m_ptShifts.cx, m_ptShifts.cy);
    });
    return 0;
}

int CSpecDraw::GetTraceHeight(const CRect& r) const
{
    return plot::CalcTraceRect(r, m_iDispMode, m_nDispTraces, nullptr).Height();
}

int CSpecDraw::GetTraceWidth(const CRect& r) const
{
    return plot::CalcTraceRect(r, m_iDispMode, m_nDispTraces, nullptr).Width();
}

int CSpecDraw::Draw(QPainter* pDC, const CRect* pClip, BOOL bPreview)
{
    CSpecTrace* first = GetSpecTrace();
    if (!first)
        return 0;
    if (m_nDispTraces < 2) {
        first->Draw(pDC, pClip, bPreview);
        return 0;
    }
    // The floor that joins the bottom edge of the front curve to the back one's.
    const bool printing = bPreview || IsPrinting(pDC);
    const QColor fill = printing ? QColor(Qt::white) : QColor(224, 224, 224);
    const QPen outline = (m_iDispMode & 1) ? QPen(Qt::black, 0) : *first->GetPen();
    const CRect& t = m_rTrace;
    const int a = m_nDispTraces;
    const int cx = m_ptShifts.cx, cy = m_ptShifts.cy;
    const QPoint v[5] = {{t.left, t.bottom - 1},
                         {t.right - 1, t.bottom - 1},
                         {t.right + (a - 1) * cx - 1, t.bottom + (a - 1) * cy - 1},
                         {t.left + (a - 1) * cx, t.bottom + (a - 1) * cy - 1},
                         {t.left, t.bottom - 1}};
    pDC->save();
    pDC->setRenderHint(QPainter::Antialiasing, false);
    pDC->setPen(outline);
    pDC->setBrush(fill);
    pDC->drawPolygon(v, 4);
    // Only the two side edges keep the outline colour.
    pDC->setPen(QPen(fill, 0));
    pDC->drawLine(v[0].x() + 1, v[0].y(), v[1].x(), v[1].y());
    pDC->drawLine(v[2].x() - 1, v[2].y(), v[3].x(), v[3].y());
    pDC->restore();

    pDC->setPen(QPen(Qt::black, 0));
    pDC->setBrush(Qt::white);
    for (int k = m_nDispTraces - 1; k >= 0; --k)
        if (CSpecTrace* c = GetSpecTrace(m_iDispTrace + k * m_nDispStep))
            c->Draw(pDC, pClip, bPreview);
    return 0;
}

int CSpecDraw::SetDispLimits(int iXfactor, int iYfactor, BOOL bNotTest)
{
    CSpecTrace* first = GetSpecTrace();
    if (!first)
        return 0;
    if (!bNotTest)
        return first->SetDispLimits(iXfactor, iYfactor, FALSE);
    const int r = first->SetDispLimits(iXfactor, iYfactor, TRUE);
    double lim[4] = {};
    const auto xy = static_cast<CSpecTrace::XYSet>(r & 3);
    if (xy)
        first->GetDispLimits(xy, lim);
    for (int i = 0; i < GetNumTraces(); ++i) {
        CSpecTrace* t = GetSpecTrace(i);
        if (t == first)
            continue;
        if (IsShown(i))
            t->SetDispLimits(iXfactor, iYfactor, TRUE);
        else if (xy)
            t->SetDispLimits(xy, lim, FALSE);
    }
    return r;
}

int CSpecDraw::SetDispLimits(CSpecTrace::XYSet xy, const double* pdLimits, BOOL bRecalc)
{
    for (int i = 0; i < GetNumTraces(); ++i)
        GetSpecTrace(i)->SetDispLimits(xy, pdLimits, IsShown(i) ? bRecalc : FALSE);
    return 0;
}

int CSpecDraw::SetDispLimits(const CRect* pRect)
{
    CSpecTrace* first = GetSpecTrace();
    if (!first || !pRect)
        return 0;
    if (m_nDispTraces < 2)
        return first->SetDispLimits(pRect);
    // Stacked and offset curves overlap the band at different places of
    // their own rectangles. The band belongs to the front-most curve whose
    // rectangle holds its top-left corner; every shown curve zooms on the
    // band moved by its offset from that curve, so that all of them show the
    // part of the data the band covers there and keep their spacing.
    const CPoint corner(pRect->left, pRect->top);
    int k = -1;
    for (int j = 0; j < m_nDispTraces && k < 0; ++j)
        if (const CSpecTrace* t = GetSpecTrace(m_iDispTrace + j * m_nDispStep);
            t && t->GetRect()->PtInRect(corner))
            k = j;
    if (k < 0)
        return 0;
    int result = 0;
    for (int j = m_nDispTraces - 1; j >= 0; --j) {
        CSpecTrace* t = GetSpecTrace(m_iDispTrace + j * m_nDispStep);
        if (!t)
            continue;
        CRect r = *pRect;
        r.OffsetRect((j - k) * m_ptShifts.cx, (j - k) * m_ptShifts.cy);
        const int changed = t->SetDispLimits(&r);
        if (j == k)
            result = changed;
    }
    return result;
}

int CSpecDraw::ScrollHorz(int dx, RECT* prUpdate)
{
    CSpecTrace* first = GetSpecTrace();
    if (m_nDispTraces != 1 || !first) {
        *prUpdate = RECT{};
        return 0;
    }
    const int r = first->ScrollHorz(dx, prUpdate);
    for (auto& t : m_caSpecTraces)
        if (t.get() != first)
            t->CopyDispParams(first);
    return r;
}

int CSpecDraw::ScrollVert(int dy, RECT* prUpdate)
{
    CSpecTrace* first = GetSpecTrace();
    if (m_nDispTraces != 1 || !first) {
        *prUpdate = RECT{};
        return 0;
    }
    const int r = first->ScrollVert(dy, prUpdate);
    for (auto& t : m_caSpecTraces)
        if (t.get() != first)
            t->CopyDispParams(first);
    return r;
}

BOOL CSpecDraw::Attach(CLineCursor* pCursor, CSpecTrace* pTrace)
{
    for (auto& t : m_caSpecTraces)
        if (t.get() == pTrace) {
            t->Attach(pCursor);
            return TRUE;
        }
    return FALSE;
}

BOOL CSpecDraw::Detach(CLineCursor* pCursor)
{
    for (auto& t : m_caSpecTraces)
        if (t->Detach(pCursor))
            return TRUE;
    return FALSE;
}

BOOL CSpecDraw::OnLButtonDown(UINT nFlags, CPoint point)
{
    for (int i = 0; i < GetNumTraces(); ++i)
        if (GetSpecTrace(i)->OnLButtonDown(nFlags, point))
            return TRUE;
    return FALSE;
}

HCURSOR CSpecDraw::GetCursor(CPoint& point) const
{
    CSpecTrace* first = GetSpecTrace();
    return m_nDispTraces == 1 && first ? first->GetCursor(point) : nullptr;
}

void CSpecDraw::DataChanged(int iTrace)
{
    if (CSpecTrace* t = GetSpecTrace(iTrace))
        t->DataChanged();
}

void CSpecDraw::DataChanged()
{
    for (auto& t : m_caSpecTraces)
        t->DataChanged();
}

void CSpecDraw::OnUpdate(CWnd* pWnd, int iFrom, int iTo, int iTrace)
{
    if (CSpecTrace* t = GetSpecTrace(iTrace))
        t->OnUpdate(iFrom, iTo, pWnd);
}
