#include "app/image/ImageWnd.h"

#include "app/plot/PaintUtil.h"
#include "framework/ui/AppMessage.h"
#include "framework/ui/Guard.h"
#include "framework/ui/View.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace {
// Width and height of the window system's 3-D edge.
constexpr int kEdge = 2;
} // namespace

CImageWnd::CImageWnd()
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // the selection image's cursor follows the mouse
}

CImageWnd::~CImageWnd()
{
    if (m_bAutoDelete) {
        delete[] m_piImage;
        delete[] m_pbImage;
    }
}

bool CImageWnd::Create(CView* pParentView, const RECT& rect, unsigned nID)
{
    m_pParentView = pParentView;
    m_nID = int(nID);
    setParent(pParentView);
    setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    setObjectName(QStringLiteral("id_%1").arg(nID));
    hide();
    return true;
}

void CImageWnd::SetImage(int* piData, int nX, int nY, int iMin, int iMax)
{
    m_piImage = piData;
    m_ImageDisp.SetImage(piData, nX, nY, iMin, iMax);
}

void CImageWnd::SetImage(uint8_t* pbData, int nX, int nY, int iMin, int iMax)
{
    m_pbImage = pbData;
    m_ImageDisp.SetImage(pbData, nX, nY, iMin, iMax);
}

CRect CImageWnd::InnerRect() const
{
    CRect r(0, 0, width(), height());
    r.InflateRect(-kEdge, -kEdge);
    return r;
}

void CImageWnd::Show(bool bShow, int iMin, int iMax)
{
    m_ImageDisp.Show(bShow, InnerRect(), this, iMin, iMax);
    m_bShown = bShow;
    setVisible(bShow);
}

void CImageWnd::resizeEvent(QResizeEvent* e)
{
    CDispWnd::resizeEvent(e);
    // The image follows its pane: laid out anew with the grey range in use.
    if (m_bShown)
        m_ImageDisp.Show(true, InnerRect(), this, m_ImageDisp.GetMin(), m_ImageDisp.GetMax());
}

void CImageWnd::OnUpdate(int iFrom, int iTo, int iScan)
{
    m_ImageDisp.OnUpdate(this, iFrom, iTo, iScan);
}

bool CImageWnd::SetZoom(int iZoom, bool bTest)
{
    const bool b = m_ImageDisp.SetZoom(iZoom, bTest);
    if (b && !bTest)
        Invalidate(ImageArea, false);
    return b;
}

void CImageWnd::Invalidate(int flags, bool bErase)
{
    (void)bErase; // the pane paints every pixel of what is repainted
    if ((flags & 3) == 3) {
        update();
    } else if (flags & 1) {
        const CRect* r = m_ImageDisp.GetImageRect();
        if (!r->IsRectEmpty())
            update(QRect(r->left, r->top, r->Width(), r->Height()));
    }
}

void CImageWnd::paintEvent(QPaintEvent* e)
{
    QPainter dc(this);
    dc.fillRect(e->rect(), plot::PlotFace(palette().color(QPalette::Button)));
    const QRect q = e->rect();
    const CRect clip(q.left(), q.top(), q.left() + q.width(), q.top() + q.height());
    SafeInvoke([&] {
        m_ImageDisp.Draw(&dc, &clip, false);
        DrawActiveRect(&dc);
        dc.save();
        SendAppMessage(m_pParentView, WMAPP_PAINTOVER, reinterpret_cast<uintptr_t>(this),
                       reinterpret_cast<intptr_t>(&dc));
        dc.restore();
        if (m_trackDone) {
            CImgTracker band;
            band.SetLine(m_track.line);
            band.DrawTrackerRect(&m_trackNow, &dc);
        }
    });
}

void CImageWnd::Track(const SPaneTrack& t, POINT press, std::function<void(const RECT&)> done)
{
    m_track = t;
    m_trackPress = press;
    m_trackNow = t.rect;
    m_trackDone = std::move(done);
    // Escape abandons the tracking wherever the focus is.
    grabKeyboard();
    update();
}

void CImageWnd::keyPressEvent(QKeyEvent* e)
{
    if (!m_trackDone || e->key() != Qt::Key_Escape)
        return CDispWnd::keyPressEvent(e);
    m_trackDone = nullptr;
    releaseKeyboard();
    unsetCursor();
    update();
}

void CImageWnd::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_trackDone)
        return CDispWnd::mouseMoveEvent(e);
    const QPoint p = e->position().toPoint();
    m_trackNow = TrackedRect(m_track, m_trackPress, POINT{p.x(), p.y()});
    update();
}

void CImageWnd::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_trackDone || e->button() != Qt::LeftButton)
        return CDispWnd::mouseReleaseEvent(e);
    const QPoint p = e->position().toPoint();
    const RECT r = TrackedRect(m_track, m_trackPress, POINT{p.x(), p.y()});
    // Cleared first: the handler may start another tracking or close the pane.
    auto done = std::move(m_trackDone);
    m_trackDone = nullptr;
    releaseKeyboard();
    update();
    SafeInvoke([&] { done(r); });
}

void CImgTracker::DrawTrackerRect(const RECT* lpRect, QPainter* pDC) const
{
    pDC->save();
    pDC->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    pDC->setBrush(Qt::NoBrush);
    if (m_bLine) {
        pDC->setPen(QPen(Qt::white, 0));
        const QPoint pts[2] = {QPoint(lpRect->left, lpRect->top), QPoint(lpRect->right, lpRect->bottom)};
        pDC->drawPolyline(pts, 2);
    } else {
        pDC->setPen(QPen(Qt::white, 0, Qt::DotLine));
        CRect r(*lpRect);
        r.NormalizeRect();
        pDC->drawRect(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
    }
    pDC->restore();
}
