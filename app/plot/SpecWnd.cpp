#include "app/plot/SpecWnd.h"

#include "app/plot/Cursors.h"
#include "app/plot/LineCursor.h"
#include "app/plot/PaintUtil.h"
#include "framework/ui/Guard.h"
#include "framework/ui/View.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

using namespace plot;

namespace {

// Width and height of the window system's 3-D edge.
constexpr int kEdge = 2;

} // namespace

CSpecWnd::CSpecWnd(int nPlanes)
{
    m_caSpecDisp.resize(size_t(std::max(nPlanes, 0)));
    for (int i = nPlanes - 1; i >= 0; --i)
        m_caSpecDisp[size_t(i)] = std::make_unique<CSpecDisp>();
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CSpecWnd::~CSpecWnd() = default;

BOOL CSpecWnd::Create(CView* pParent, const RECT& rect, UINT nID)
{
    m_nID = int(nID) - int(FirstWndId);
    m_pParentView = pParent;
    setParent(pParent);
    setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    setObjectName(QStringLiteral("id_%1").arg(nID));
    hide();
    return TRUE;
}

CSpecDisp* CSpecWnd::GetDisp(int iPlane) const
{
    if (iPlane < 0)
        iPlane = m_iDispPlane;
    return iPlane < GetNumPlanes() ? m_caSpecDisp[size_t(iPlane)].get() : nullptr;
}

CRect CSpecWnd::InnerRect() const
{
    CRect r(0, 0, width(), height());
    r.InflateRect(-kEdge, -kEdge);
    return r;
}

void CSpecWnd::SetDispPlane(int iPlane, int bRedraw)
{
    if (iPlane < 0 || iPlane >= GetNumPlanes())
        return;
    m_iDispPlane = iPlane;
    if (bRedraw) {
        GetDisp()->Show(TRUE, CRect(0, 0, width(), height()), false);
        update();
    }
}

void CSpecWnd::SetNumTraces(int nTraces, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->SetNumTraces(nTraces);
}

void CSpecWnd::SetCaption(const std::string& s, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->SetCaption(s);
}

void CSpecWnd::SetHorzAxisLabel(const std::string& s, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->SetHorzAxisLabel(s);
}

void CSpecWnd::SetHorzAxisUnits(double U0, double U1, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->SetHorzAxisUnits(U0, U1);
}

void CSpecWnd::SetDataAutoDelete(int b, int iTrace, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->SetDataAutoDelete(b, iTrace);
}

void CSpecWnd::SetPen(QPen* pPen, int iTrace, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->SetPen(pPen, iTrace);
}

void CSpecWnd::SetSymbol(const CSymbol* pSymbol, int iTrace, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->SetSymbol(pSymbol, iTrace);
}

void CSpecWnd::SetXData(const double* p, double dMin, double dMax, int nPts, int iTrace, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->SetXData(p, dMin, dMax, nPts, iTrace);
}

void CSpecWnd::SetYData(double* p, double dMin, double dMax, int nPts, int iTrace, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->SetYData(p, dMin, dMax, nPts, iTrace);
}

double* CSpecWnd::GetYData(int* pnPts, int iTrace, int iPlane) const
{
    if (CSpecDisp* d = GetDisp(iPlane))
        return d->GetYData(pnPts, iTrace);
    *pnPts = 0;
    return nullptr;
}

double* CSpecWnd::GetYData(int i, int iTrace, int iPlane) const
{
    CSpecDisp* d = GetDisp(iPlane);
    return d ? d->GetYData(i, iTrace) : nullptr;
}

int CSpecWnd::GetNumPoints(int iTrace, int iPlane) const
{
    CSpecDisp* d = GetDisp(iPlane);
    return d ? d->GetNumPoints(iTrace) : 0;
}

double CSpecWnd::UnitTox(double U, int iPlane) const
{
    CSpecDisp* d = GetDisp(iPlane);
    return d ? d->UnitTox(U) : 0;
}

double CSpecWnd::xToUnit(double x, int iPlane) const
{
    CSpecDisp* d = GetDisp(iPlane);
    return d ? d->xToUnit(x) : 0;
}

void CSpecWnd::OnUpdate(int iFrom, int iTo, int iTrace, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->OnUpdate(this, iFrom, iTo, iTrace);
}

void CSpecWnd::DataChanged(int iTrace, int iPlane)
{
    if (CSpecDisp* d = GetDisp(iPlane))
        d->DataChanged(iTrace);
}

void CSpecWnd::DataChanged()
{
    for (auto& d : m_caSpecDisp)
        if (d)
            d->DataChanged();
}

CSpecTrace* CSpecWnd::GetSpecTrace(int iTrace, int iPlane) const
{
    CSpecDisp* d = GetDisp(iPlane);
    return d ? d->GetSpecTrace(iTrace) : nullptr;
}

int CSpecWnd::GetNumTraces(int iPlane) const
{
    CSpecDisp* d = GetDisp(iPlane);
    return d ? d->GetNumTraces() : 0;
}

int CSpecWnd::GetDispTrace(int iPlane) const
{
    CSpecDisp* d = GetDisp(iPlane);
    return d ? d->GetDispTrace() : 0;
}

int CSpecWnd::GetNumDispTraces(int iPlane) const
{
    CSpecDisp* d = GetDisp(iPlane);
    return d ? d->GetNumDispTraces() : 0;
}

int CSpecWnd::GetDispTraceStep(int iPlane) const
{
    CSpecDisp* d = GetDisp(iPlane);
    return d ? d->GetDispTraceStep() : 1;
}

const CRect* CSpecWnd::GetDispRect() const
{
    static const CRect none;
    CSpecDisp* d = GetDisp();
    return d ? d->GetDispRect() : &none;
}

int CSpecWnd::SetDispLimits(int iXfactor, int iYfactor, int bNotTest)
{
    CSpecDisp* d = GetDisp();
    return d ? d->SetDispLimits(iXfactor, iYfactor, bNotTest) : 0;
}

void CSpecWnd::OnPrint(QPainter* pDC, CRect* pRect, BOOL bPreview)
{
    if (CSpecDisp* d = GetDisp())
        d->OnPrint(pDC, pRect, bPreview);
}

HCURSOR CSpecWnd::GetCursor(CPoint ptScreen) const
{
    CSpecDisp* d = GetDisp();
    if (!d)
        return nullptr;
    const QPoint c = mapFromGlobal(QPoint(ptScreen.x, ptScreen.y));
    CPoint p(c.x(), c.y());
    return d->GetCursor(p);
}

void CSpecWnd::SetDispMode(int iMode, bool b)
{
    for (auto& d : m_caSpecDisp)
        d->SetDispMode(iMode, b);
}

void CSpecWnd::SetDispTrace(int iTrace, bool bLayout)
{
    CSpecDisp* d = GetDisp();
    if (!d)
        return;
    if (iTrace < 0)
        iTrace = d->GetDispTrace();
    d->SetDispTrace(iTrace, bLayout);
    update();
}

void CSpecWnd::SetDispTrace(int iFirst, int iStep, int nCount, bool bLayout)
{
    CSpecDisp* d = GetDisp();
    if (!d)
        return;
    if (iFirst < 0)
        iFirst = d->GetDispTrace();
    d->SetDispTrace(iFirst, iStep, nCount, bLayout);
    update();
}

BOOL CSpecWnd::Attach(CLineCursor* pCursor, CSpecTrace* pTrace)
{
    for (auto& d : m_caSpecDisp)
        if (d->Attach(pCursor, pTrace))
            return TRUE;
    return FALSE;
}

BOOL CSpecWnd::Detach(CLineCursor* pCursor)
{
    for (auto& d : m_caSpecDisp)
        if (d->Detach(pCursor))
            return TRUE;
    return FALSE;
}

void CSpecWnd::Show(bool bShow, double* pdMax, double* pdMin, double U0, double U1)
{
    if (CSpecDisp* d = GetDisp()) {
        // Fonts are measured at the window's own resolution.
        QImage probe(1, 1, QImage::Format_RGB32);
        probe.setDotsPerMeterX(int(logicalDpiX() * 10000 / 254));
        probe.setDotsPerMeterY(int(logicalDpiY() * 10000 / 254));
        QPainter dc(&probe);
        d->Show(bShow, InnerRect(), &dc, pdMax, pdMin, U0, U1);
    }
    setVisible(bShow);
}

void CSpecWnd::Show(int bShow)
{
    if (CSpecDisp* d = GetDisp()) {
        if (bShow)
            d->Show(TRUE, InnerRect(), false);
        else
            d->Show(FALSE, CRect(0, 0, width(), height()), false);
    }
    setVisible(bShow != 0);
}

void CSpecWnd::Invalidate(int nArea, bool bErase)
{
    nArea &= 0xF;
    CSpecDisp* d = GetDisp();
    // A tool writes through the data pointer and then invalidates: what
    // drawing cached of the old values must not be painted again.
    if (nArea & TraceArea)
        DataChanged();
    if (nArea == WholeWnd || !d) {
        update();
        return;
    }
    if (nArea & HorzAxis) {
        d->InvalidateHorzAxis(this, bErase);
        // The plot's bottom row above the axis too.
        const CRect& h = *d->GetHorzAxis().GetRect();
        const CRect& c = *d->GetHorzAxis().GetClipRect();
        update(QRect(c.left, h.top - 1, c.Width(), 1));
    }
    if (nArea & VertAxis)
        d->InvalidateVertAxis(this, bErase);
    if (nArea & TraceArea)
        update(ToQRect(*d->GetDrawRect()));
}

void CSpecWnd::Invalidate(bool)
{
    DataChanged();
    update();
}

intptr_t CSpecWnd::OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    CSpecDisp* d = GetDisp();
    auto* cursor = reinterpret_cast<CLineCursor*>(lParam);
    switch (message) {
    case WMAPP_LC_POS:
        return OnLineCursorPos(wParam, lParam);
    case WMAPP_VL_TRACKING:
        return d && d->OnVertLineTrack(this, int(intptr_t(wParam)), cursor) ? 1 : 0;
    case WMAPP_HL_TRACKING:
        return d && d->OnHorzLineTrack(this, int(intptr_t(wParam)), cursor) ? 1 : 0;
    default:
        return 0;
    }
}

intptr_t CSpecWnd::OnLineCursorPos(uintptr_t wParam, intptr_t lParam)
{
    return SendAppMessage(m_pParentView, WMAPP_LC_POS, wParam, lParam);
}

void CSpecWnd::paintEvent(QPaintEvent* e)
{
    if (m_backBuffer.size() != size())
        m_backBuffer = QImage(size(), QImage::Format_RGB32);
    const CRect clip = FromQRect(e->rect());
    {
        QPainter dc(&m_backBuffer);
        dc.setClipRect(e->rect());
        // The window has no background brush: the button face fills what is repainted.
        dc.fillRect(e->rect(), PlotFace(palette().color(QPalette::Button)));
        dc.setBrush(Qt::white); // a fresh context's brush, which opaque curves fill with
        dc.setPen(QPen(Qt::black, 0));
        SafeInvoke([&] {
            if (CSpecDisp* d = GetDisp())
                d->Draw(&dc, &clip, FALSE);
            SendAppMessage(m_pParentView, WMAPP_PAINTOVER, reinterpret_cast<uintptr_t>(this),
                           reinterpret_cast<intptr_t>(&dc));
        });
        DrawActiveRect(&dc);
    }
    QPainter w(this);
    w.drawImage(e->rect(), m_backBuffer, e->rect());
}

void CSpecWnd::OnLButtonDown(UINT nFlags, CPoint point)
{
    CSpecDisp* d = GetDisp();
    if (d && d->OnLButtonDown(this, nFlags, point))
        return;
    const intptr_t xy = intptr_t((unsigned(point.x) & 0xFFFF) | ((unsigned(point.y) & 0xFFFF) << 16));
    SendAppMessage(parentWidget(), WM_PARENTNOTIFY, WM_LBUTTONUP, xy);
}

void CSpecWnd::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    const QPoint p = e->position().toPoint();
    const CPoint point(p.x(), p.y());
    UINT flags = MK_LBUTTON;
    if (e->modifiers() & Qt::ControlModifier)
        flags |= MK_CONTROL;
    if (e->modifiers() & Qt::ShiftModifier)
        flags |= MK_SHIFT;
    SafeInvoke([&] {
        const intptr_t xy = intptr_t((unsigned(point.x) & 0xFFFF) | ((unsigned(point.y) & 0xFFFF) << 16));
        SendAppMessage(parentWidget(), WM_PARENTNOTIFY, WM_LBUTTONDOWN, xy);
        OnLButtonDown(flags, point);
    });
    e->accept();
}

void CSpecWnd::mouseMoveEvent(QMouseEvent* e)
{
    if (e->buttons() == Qt::NoButton) {
        const QPoint p = e->position().toPoint();
        OnSetCursor(CPoint(p.x(), p.y()));
    }
    QWidget::mouseMoveEvent(e);
}

void CSpecWnd::OnSetCursor(const CPoint& point)
{
    CSpecDisp* d = GetDisp();
    CPoint p = point;
    HCURSOR c = d ? d->GetCursor(p) : nullptr;
    const QWidget* focus = QApplication::focusWidget();
    if (focus != this && focus != parentWidget())
        c = LoadPlotCursor(IDC_ARROW); // another window (a processing dialog) has the keyboard
    if (c)
        setCursor(*c);
}
