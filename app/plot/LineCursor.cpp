#include "app/plot/LineCursor.h"

#include "app/plot/Cursors.h"
#include "app/plot/MouseTrack.h"
#include "app/plot/PaintUtil.h"
#include "app/plot/PlotColor.h"
#include "app/plot/PlotMath.h"
#include "framework/ui/AppMessage.h"

#include <QGuiApplication>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QWidget>

using namespace plot;

namespace {

HCURSOR SizeCursor(int bHorz)
{
    return LoadPlotCursor(bHorz ? IDC_SIZENS : IDC_SIZEWE);
}

} // namespace

CLineCursor::CLineCursor(int bHorz) : m_bHorz(bHorz ? Horz : Vert), m_hCursor(SizeCursor(bHorz)) {}

CLineCursor::CLineCursor(const CLineCursor& src)
    : m_iPosnMode(src.m_iPosnMode), m_bShow(src.m_bShow), m_bHorz(src.m_bHorz), m_clrPen(src.m_clrPen),
      m_hCursor(SizeCursor(src.m_bHorz)), m_rClip(src.m_rClip), m_pWnd(src.m_pWnd), m_dPos(src.m_dPos),
      m_pdS(src.m_pdS), m_pS0(src.m_pS0), m_iWidth(src.m_iWidth), m_iDrawMode(src.m_iDrawMode)
{
}

CLineCursor::~CLineCursor() = default;

int CLineCursor::GetScreenPos() const
{
    return plot::LineScreenPos(m_dPos);
}

void CLineCursor::SetOrientation(int bHorz)
{
    const BOOL o = bHorz ? Horz : Vert;
    if (o == m_bHorz)
        return;
    m_bHorz = o;
    m_hCursor = SizeCursor(o);
}

void CLineCursor::SetCursor(int nID)
{
    if (HCURSOR c = LoadPlotCursor(nID))
        m_hCursor = c;
}

void CLineCursor::SetDrawMode(int iMode)
{
    if (iMode == R2_NOT || iMode == R2_XORPEN || iMode == R2_NOP || iMode == R2_COPYPEN)
        m_iDrawMode = iMode;
}

CRect CLineCursor::LineRect(double dPos) const
{
    const int p = plot::LineScreenPos(dPos);
    const int w = std::max(m_iWidth, 1);
    CRect r = m_rClip;
    if (p == INT_MIN || p == INT_MAX)
        return CRect();
    if (m_bHorz) {
        r.top = p - w;
        r.bottom = p + w + 1;
    } else {
        r.left = p - w;
        r.right = p + w + 1;
    }
    return r;
}

void CLineCursor::InvalidateLine(double dPos) const
{
    if (!m_pWnd)
        return;
    const CRect r = LineRect(dPos);
    if (!r.IsRectEmpty())
        m_pWnd->update(QRect(r.left, r.top, r.Width(), r.Height()));
}

void CLineCursor::Show(int bShow, int bDraw)
{
    const BOOL b = bShow ? TRUE : FALSE;
    if (b == m_bShow)
        return;
    m_bShow = b;
    if (bDraw)
        InvalidateLine(m_dPos);
}

void CLineCursor::MoveTo(double dPos, const CRect*)
{
    if (m_bShow && m_pWnd) {
        InvalidateLine(m_dPos);
        m_dPos = dPos;
        InvalidateLine(m_dPos);
    } else {
        m_dPos = dPos;
    }
}

int CLineCursor::Draw(QPainter* pDC, const CRect* pClip) const
{
    if (!m_bShow)
        return INT_MIN;
    if (!pDC) {
        if (!m_pWnd)
            return INT_MIN;
        InvalidateLine(m_dPos);
        return GetScreenPos();
    }
    const CRect B = ClipBoxOf(pDC);
    CRect clip;
    clip.IntersectRect(B, m_rClip);
    if (pClip)
        clip.IntersectRect(clip, *pClip);
    const int p = GetScreenPos();
    const bool inside = m_bHorz ? (B.top <= p && p < B.bottom) : (B.left <= p && p < B.right);
    if (!inside || clip.IsRectEmpty() || m_iDrawMode == R2_NOP)
        return p;

    pDC->save();
    pDC->setClipRect(QRect(clip.left, clip.top, clip.Width(), clip.Height()), Qt::IntersectClip);
    pDC->setRenderHint(QPainter::Antialiasing, false);
    // Raster operations work on an image only; on a printer the line is plainly drawn.
    const bool raster = pDC->device() && pDC->device()->devType() == QInternal::Image;
    const QColor window = PlotPaper(QGuiApplication::palette().color(QPalette::Base));
    QColor colour = ToQColor(m_clrPen);
    if (m_iDrawMode == R2_NOT) {
        if (raster) {
            pDC->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            colour = Qt::white;
        }
    } else if (m_iDrawMode == R2_XORPEN && raster) {
        // Two passes (window colour, then line colour) make one XOR with both.
        pDC->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        colour = ToQColor(FromQColor(window) ^ m_clrPen);
    }
    QPen pen(colour, m_iWidth);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    pDC->setPen(pen);
    if (m_bHorz)
        pDC->drawLine(B.left, p, B.right, p);
    else
        pDC->drawLine(p, B.top, p, B.bottom);
    pDC->restore();
    return p;
}

BOOL CLineCursor::HitTest(const CPoint& point) const
{
    return m_bShow && plot::LineHitTest(m_bHorz, m_rClip, m_dPos, point);
}

HCURSOR CLineCursor::GetCursor(const CPoint& point) const
{
    return HitTest(point) ? m_hCursor : nullptr;
}

int CLineCursor::Track(const CPoint& point, const CRect* pClip)
{
    if (!m_bShow || !HitTest(point) || !m_pWnd || !pClip)
        return 0;
    return Drag(point, pClip) == int(WMAPP_LC_POS) ? WMAPP_LC_POS : WMAPP_LC_ESC;
}

int CLineCursor::Drag(const CPoint& point, const CRect* pClip)
{
    if (!m_bShow)
        return 0;
    const QCursor previous = m_pWnd->cursor();
    const bool hadCursor = m_pWnd->testAttribute(Qt::WA_SetCursor);
    if (m_hCursor)
        m_pWnd->setCursor(*m_hCursor);
    CLineTracker tracker(pClip, this, m_bHorz);
    if (m_iDrawMode == R2_NOP)
        tracker.SetDraw(false);
    CPoint end;
    int result = 0;
    const QPointer<QWidget> wnd(m_pWnd);
    const bool done = tracker.Track(m_pWnd, point, &end);
    if (!wnd)
        return 0; // the window went during the drag
    if (done) {
        const int start = m_bHorz ? point.y : point.x;
        const int now = m_bHorz ? end.y : end.x;
        if (now != start) {
            MoveTo(now, pClip);
            result = WMAPP_LC_POS;
        }
    }
    if (hadCursor)
        m_pWnd->setCursor(previous);
    else
        m_pWnd->unsetCursor();
    return result;
}

CLineTracker::CLineTracker(const CRect* pClip, CLineCursor* pCursor, int bHorz)
    : m_rClip(pClip ? *pClip : CRect()), m_bHorz(bHorz), m_pCursor(pCursor),
      m_ptLast(m_rClip.left - 1, m_rClip.top - 1)
{
}

CLineTracker::~CLineTracker()
{
    delete m_pBand.data();
}

void CLineTracker::DrawTrackerRect(const CRect& rect, CWnd* pWnd)
{
    CRect line;
    if (m_bHorz) {
        line = CRect(m_rClip.left, rect.bottom, m_rClip.right, rect.bottom + 1);
        if (rect.bottom != m_ptLast.y)
            SendAppMessage(pWnd, WMAPP_HL_TRACKING, uintptr_t(intptr_t(rect.bottom)),
                           reinterpret_cast<intptr_t>(m_pCursor));
    } else {
        line = CRect(rect.right, m_rClip.top, rect.right + 1, m_rClip.bottom);
        if (rect.right != m_ptLast.x)
            SendAppMessage(pWnd, WMAPP_VL_TRACKING, uintptr_t(intptr_t(rect.right)),
                           reinterpret_cast<intptr_t>(m_pCursor));
    }
    m_ptLast = CPoint(rect.right, rect.bottom);
    if (m_bDraw && pWnd) {
        if (!m_pBand)
            m_pBand = new QRubberBand(QRubberBand::Line, pWnd);
        m_pBand->setGeometry(line.left, line.top, line.Width(), line.Height());
        m_pBand->show();
    }
}

bool CLineTracker::Track(CWnd* pWnd, const CPoint& point, CPoint* pEnd)
{
    // The band spans the click and the mouse; the line follows its far edges.
    DrawTrackerRect(CRect(point.x, point.y, point.x, point.y), pWnd);
    const bool done = RunMouseTracking(
        pWnd, point, m_rClip.IsRectEmpty() ? nullptr : &m_rClip,
        [&](const CPoint& p) { DrawTrackerRect(CRect(point.x, point.y, p.x, p.y), pWnd); }, pEnd);
    if (m_pBand)
        m_pBand->hide();
    return done;
}
