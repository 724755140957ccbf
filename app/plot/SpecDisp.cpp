#include "app/plot/SpecDisp.h"

#include "app/plot/LineCursor.h"
#include "app/plot/MouseTrack.h"
#include "app/plot/PaintUtil.h"
#include "app/plot/SpecWnd.h"
#include "platform/Cp1252.h"

#include <QPainter>
#include <QPointer>
#include <QRubberBand>
#include <QWidget>
#include <cmath>

using namespace plot;

namespace {

enum LayoutMode
{
    FitVert,  // fit the vertical axis to the given range
    KeepVert, // keep its range, new rectangle
    RectOnly, // new rectangle only
};

} // namespace

CSpecDisp::CSpecDisp(const CSpecDisp& s)
    : m_HorzAxis(s.m_HorzAxis), m_rDisp(s.m_rDisp), m_rCaption(s.m_rCaption), m_SpecDraw(s.m_SpecDraw),
      m_csCaption(s.m_csCaption), m_VertAxis(s.m_VertAxis), m_bVisible(s.m_bVisible), m_bScrolling(false),
      m_cyCaption(s.m_cyCaption)
{
}

CRect CSpecDisp::LayOut(const CRect& rect, int mode, double* pdMin, double* pdMax, const double* pU)
{
    const CAxisParams& hp = *m_HorzAxis.GetParams();
    const CAxisParams& vp = *m_VertAxis.GetParams();
    CRect r = rect;
    const int mx = std::max(hp.m_cDigit.cx, vp.m_cDigit.cx);
    const int my = std::max(hp.m_cDigit.cy, vp.m_cDigit.cy);
    r.InflateRect(-mx, -my);

    m_rCaption.bottom = r.bottom;
    m_cyCaption = hp.m_cyText;
    m_rCaption.top = r.bottom - m_cyCaption;
    r.bottom -= m_cyCaption + m_HorzAxis.GetHeight();

    CRect va = r;
    va.top = r.bottom - m_SpecDraw.GetTraceHeight(r);
    va.left += 1;
    va.right += 1;
    if (mode == FitVert) {
        m_VertAxis.SetRect(va, pdMin, pdMax);
    } else if (mode == KeepVert) {
        double lo = m_VertAxis.GetMin(), hi = m_VertAxis.GetMax();
        m_VertAxis.SetRect(va, &lo, &hi);
    } else {
        m_VertAxis.SetRect(va);
    }
    r.left += m_VertAxis.GetWidth();

    const int w = m_SpecDraw.GetTraceWidth(r);
    const int a = r.Width() - (5 * hp.m_cDigit.cx + hp.m_cxDecPt) / 2;
    if (a < w)
        r.right = r.left + a;
    CRect ha = r;
    if (a > w)
        ha.right = r.left + w;
    ha.bottom += m_HorzAxis.GetHeight();
    m_HorzAxis.SetRect(ha);
    m_HorzAxis.SetClipRect(rect);
    if (pU)
        m_HorzAxis.SetLimits(ha.left, ha.right - 1, pU[0], pU[1]);
    m_rCaption.left = ha.left;
    m_rCaption.right = ha.right;
    return r;
}

void CSpecDisp::Show(int bVisible, const CRect& rect, QPainter* pDC, double* pdMax, double* pdMin, double U0,
                     double U1)
{
    m_bVisible = bVisible;
    m_rDisp = rect;
    m_HorzAxis.SetParams(pDC);
    m_VertAxis.SetParams(pDC);
    const bool any = m_SpecDraw.GetNumTraces() > 0;
    double dMax = pdMax ? *pdMax : (any ? m_SpecDraw.GetMaxValue() : 0);
    double dMin = pdMin ? *pdMin : (any ? m_SpecDraw.GetMinValue() : 0);
    const double U[2] = {U0, U1};
    CRect r = LayOut(rect, FitVert, &dMin, &dMax, U);
    // The X transform follows the new rectangle even when the full-scale zoom
    // below finds the limits unchanged.
    m_SpecDraw.SetRect(&r, TRUE, FALSE);
    m_SpecDraw.SetDispLimits(0, 1, TRUE);
    const double lim[2] = {dMin, dMax};
    m_SpecDraw.SetDispLimits(CSpecTrace::Y_SET, lim, TRUE);
    // One value along the axis (a spectrum of one point): its label goes under
    // the point, which stands in the middle of the plot, not at its left edge.
    if (U0 == U1)
        SetHorzAxisUnits(U0, U1);
    m_SpecDraw.SetVisible(bVisible);
}

void CSpecDisp::Show(int bVisible, const CRect& rect, bool bKeepVert)
{
    m_bVisible = bVisible;
    m_rDisp = rect;
    m_SpecDraw.SetVisible(bVisible);
    if (!bVisible)
        return;
    CRect r = LayOut(rect, bKeepVert ? KeepVert : RectOnly, nullptr, nullptr, nullptr);
    m_SpecDraw.SetRect(&r, TRUE, TRUE);
    SetHorzAxisLimits();
    SetVertAxisLimits();
}

void CSpecDisp::DrawParts(QPainter* pDC, const CRect* pClip, BOOL bPreview)
{
    pDC->save();
    pDC->setFont(*m_HorzAxis.GetFont());
    pDC->setBackgroundMode(Qt::TransparentMode);
    pDC->setPen(QPen(Qt::black, 0));
    std::string text = m_csCaption + " " + m_HorzAxis.GetLabel();
    pDC->drawText(ToQRect(m_rCaption), Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine,
                  QString::fromStdString(Cp1252ToUtf8(text)));
    pDC->restore();
    m_SpecDraw.Draw(pDC, pClip, bPreview);
    m_HorzAxis.Draw(pDC, pClip, bPreview);
    m_VertAxis.Draw(pDC, pClip, bPreview);
}

int CSpecDisp::Draw(QPainter* pDC, const CRect* pClip, BOOL bPreview)
{
    if (!m_bVisible)
        return 0;
    DrawParts(pDC, pClip, bPreview);
    return 0;
}

void CSpecDisp::OnPrint(QPainter* pDC, CRect* pRect, BOOL bPreview)
{
    if (!m_bVisible || !pRect)
        return;
    CSpecDisp copy(*this);
    copy.m_HorzAxis.SetParams(pDC);
    copy.m_VertAxis.SetParams(pDC);
    copy.Show(TRUE, *pRect, true);
    pDC->save();
    pDC->setBrush(Qt::white); // a fresh device's brush, which opaque curves fill with
    copy.DrawParts(pDC, pRect, bPreview);
    pDC->restore();
}

void CSpecDisp::SetHorzAxisUnits(double U0, double U1)
{
    const CSpecTrace* t = m_SpecDraw.GetSpecTrace();
    if (!t)
        return;
    m_HorzAxis.SetLimits(t->XTox(0), t->XTox(t->GetNumPoints() - 1), U0, U1);
}

void CSpecDisp::SetHorzAxisLimits()
{
    const CSpecTrace* t = m_SpecDraw.GetSpecTrace();
    if (!t)
        return;
    m_HorzAxis.SetLimits(t->XTox(0), t->XTox(t->GetNumPoints() - 1));
}

void CSpecDisp::SetVertAxisLimits()
{
    const CSpecTrace* t = m_SpecDraw.GetSpecTrace();
    if (!t)
        return;
    m_VertAxis.SetLimits(t->YToy(m_VertAxis.GetMin()), t->YToy(m_VertAxis.GetMax()));
}

int CSpecDisp::SetDispLimits(int iXfactor, int iYfactor, int bNotTest)
{
    const int r = m_SpecDraw.SetDispLimits(iXfactor, iYfactor, bNotTest);
    if (bNotTest) {
        if (r & 1)
            SetHorzAxisLimits();
        if (r & 2)
            SetVertAxisLimits();
    }
    return r;
}

int CSpecDisp::SetDispLimits(const CRect* pRect)
{
    const int r = m_SpecDraw.SetDispLimits(pRect);
    if (r & 1)
        SetHorzAxisLimits();
    if (r & 2)
        SetVertAxisLimits();
    return r;
}

void CSpecDisp::SetDispTrace(int iFirst, bool bLayout)
{
    m_SpecDraw.SetDispTrace(iFirst);
    if (bLayout)
        Show(m_bVisible, m_rDisp, false);
}

void CSpecDisp::SetDispTrace(int iFirst, int iStep, int nCount, bool bLayout)
{
    m_SpecDraw.SetDispTrace(iFirst, iStep, nCount);
    if (bLayout)
        Show(m_bVisible, m_rDisp, false);
}

BOOL CSpecDisp::ScrollDrag(CSpecWnd* pWnd, CPoint point, bool bHorz)
{
    if (m_SpecDraw.GetNumDispTraces() > 1)
        return FALSE;
    CSpecTrace* t = m_SpecDraw.GetSpecTrace();
    if (!t)
        return FALSE;
    // An invisible cursor carries the drag; the tracker's messages scroll.
    CLineCursor cursor(bHorz ? CLineCursor::Horz : CLineCursor::Vert);
    cursor.Attach(pWnd);
    cursor.SetPos(bHorz ? point.y : point.x);
    pWnd->Attach(&cursor, t);
    cursor.SetCursor(bHorz ? IDC_SPLIT_VERT : IDC_SPLIT_HORZ);
    cursor.SetDrawMode(R2_NOP);
    cursor.Show(TRUE, FALSE);
    m_bScrolling = true;
    const CRect clip = *t->GetRect();
    const QPointer<QWidget> alive(pWnd);
    cursor.Track(point, &clip);
    if (!alive)
        return TRUE; // the window closed during the drag, and this pane with it
    m_bScrolling = false;
    pWnd->Detach(&cursor);
    return TRUE;
}

BOOL CSpecDisp::OnLButtonDown(CSpecWnd* pWnd, UINT nFlags, CPoint point)
{
    if (m_SpecDraw.OnLButtonDown(nFlags, point))
        return TRUE;
    const bool ctrl = nFlags & MK_CONTROL, shift = nFlags & MK_SHIFT;
    if (ctrl && shift)
        return FALSE;
    if (ctrl)
        return ScrollDrag(pWnd, point, false);
    if (shift)
        return ScrollDrag(pWnd, point, true);

    // Rubber band: a dotted rectangle from the click to the mouse.
    QPointer<QRubberBand> band = new QRubberBand(QRubberBand::Rectangle, pWnd);
    auto place = [&](const CPoint& p) {
        CRect r(point.x, point.y, p.x, p.y);
        r.NormalizeRect();
        band->setGeometry(ToQRect(r));
        band->show();
    };
    CPoint end;
    const QPointer<QWidget> alive(pWnd);
    const bool done = RunMouseTracking(pWnd, point, nullptr, place, &end);
    if (!alive)
        return TRUE; // the window closed during the drag, and this pane with it
    delete band.data();
    if (!done || end == point)
        return FALSE;
    CRect r(point.x, point.y, end.x, end.y);
    r.NormalizeRect();
    if (r.Width() >= 5 && r.Height() >= 5 && SetDispLimits(&r))
        pWnd->Invalidate(CSpecWnd::DispArea, true);
    return TRUE;
}

BOOL CSpecDisp::OnVertLineTrack(QWidget* pWnd, int x, CLineCursor* pCursor)
{
    if (!pCursor || m_SpecDraw.GetNumDispTraces() > 1 || !m_bScrolling)
        return FALSE;
    const int pos = plot::TruncSat(pCursor->GetPos());
    if (x == pos)
        return FALSE;
    CRect u;
    const int d = m_SpecDraw.ScrollHorz(x - pos, &u);
    if (d != 0) {
        m_HorzAxis.Scroll(d, u);
        CRect s = u;
        if (m_VertAxis.IsVisible())
            s.InflateRect(-1, 0);
        pWnd->scroll(d, 0, ToQRect(s));
        pWnd->update(QRect(u.right - 1, u.top, 1, u.Height()));
    } else if (!u.IsRectEmpty()) {
        pWnd->update(ToQRect(u));
    }
    if (m_HorzAxis.IsVisible()) {
        // The labels are redrawn across the whole band: moved pixels cannot
        // be trusted for a label that straddles an end of the axis or the
        // strip the scroll uncovered.
        const CRect& hr = *m_HorzAxis.GetRect();
        const CRect& hc = *m_HorzAxis.GetClipRect();
        pWnd->update(QRect(hc.left, hr.top, hc.right - hc.left, hr.Height()));
    }
    pCursor->SetPos(x);
    return TRUE;
}

BOOL CSpecDisp::OnHorzLineTrack(QWidget* pWnd, int y, CLineCursor* pCursor)
{
    if (!pCursor || m_SpecDraw.GetNumDispTraces() > 1 || !m_bScrolling)
        return FALSE;
    const int pos = plot::TruncSat(pCursor->GetPos());
    if (y == pos)
        return FALSE;
    CRect u;
    const int d = m_SpecDraw.ScrollVert(y - pos, &u);
    if (d != 0) {
        m_VertAxis.Scroll(d, u);
        pWnd->scroll(0, d, ToQRect(u));
    } else if (!u.IsRectEmpty()) {
        pWnd->update(ToQRect(u));
    }
    if (m_VertAxis.IsVisible()) {
        const CRect& vr = *m_VertAxis.GetRect();
        const int half = m_VertAxis.GetParams()->m_cy / 2;
        pWnd->update(QRect(vr.left, m_rDisp.top, vr.Width(), vr.top + half - m_rDisp.top));
        pWnd->update(QRect(vr.left, vr.bottom, vr.Width(), m_rDisp.bottom - vr.bottom));
    }
    pCursor->SetPos(y);
    return TRUE;
}
