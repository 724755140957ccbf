#include "app/plot/SpecTrace.h"

#include "app/plot/Cursors.h"
#include "app/plot/LineCursor.h"
#include "app/plot/PaintUtil.h"
#include "app/plot/Symbol.h"
#include "framework/ui/AppMessage.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

using namespace plot;

CSpecTrace::Defaults& CSpecTrace::GetDefaults()
{
    static Defaults d = [] {
        Defaults x;
        x.m_Pen = QPen(QColor(0, 0, 192), 0, Qt::SolidLine);
        return x;
    }();
    return d;
}

std::vector<CPoint>& CSpecTrace::VertexBuffer()
{
    static std::vector<CPoint> buf = [] {
        std::vector<CPoint> v;
        v.reserve(8192);
        return v;
    }();
    return buf;
}

CSpecTrace::CSpecTrace() : m_pPen(&GetDefaults().m_Pen) {}

CSpecTrace::CSpecTrace(const CSpecTrace& s)
    : m_pdYData(s.m_pdYData), m_pdXData(s.m_pdXData), m_YFullScale(s.m_YFullScale), m_pSymbol(s.m_pSymbol),
      m_Vmode(s.m_Vmode), m_bAutoDelete(FALSE), m_rDisp(s.m_rDisp), m_pPen(&GetDefaults().m_Pen),
      m_Xmin(s.m_Xmin), m_Xmax(s.m_Xmax), m_Ymin(s.m_Ymin), m_Ymax(s.m_Ymax), m_MaxYVal(s.m_MaxYVal),
      m_MinYVal(s.m_MinYVal), m_MaxXVal(s.m_MaxXVal), m_MinXVal(s.m_MinXVal), m_dX(s.m_dX), m_X0(s.m_X0),
      m_dx(s.m_dx), m_x0(s.m_x0), m_dY(s.m_dY), m_Y0(s.m_Y0), m_dy(s.m_dy), m_y0(s.m_y0),
      m_bVisible(s.m_bVisible), m_nPts(s.m_nPts), m_iDispMode(s.m_iDispMode), m_FullScale(s.m_FullScale),
      m_MaxScale(s.m_MaxScale)
{
    if (s.m_pPen != &GetDefaults().m_Pen) {
        m_ownPen = std::make_unique<QPen>(*s.m_pPen);
        m_pPen = m_ownPen.get();
    }
}

CSpecTrace::~CSpecTrace()
{
    if (m_bAutoDelete)
        delete[] m_pdYData; // handed over by its owner with SetDataAutoDelete
}

void CSpecTrace::SetYData(double* pdYData, double dMinYVal, double dMaxYVal, int nPts)
{
    m_pdYData = pdYData;
    DropEnvelope();
    m_MinYVal = dMinYVal;
    m_MaxYVal = dMaxYVal;
    if (std::max(nPts, 0) != m_nPts)
        m_pdXData = nullptr; // X values of another count no longer fit
    m_nPts = std::max(nPts, 0);
    m_MinXVal = 0;
    m_MaxXVal = m_nPts - 1;
    m_bVisible = TRUE;
}

double* CSpecTrace::SetYData(double* pdYData)
{
    double* prev = m_pdYData;
    m_pdYData = pdYData;
    DropEnvelope();
    return prev;
}

void CSpecTrace::SetXData(const double* pdXData, double dMinXVal, double dMaxXVal, int nPts)
{
    if (nPts != m_nPts)
        return;
    m_pdXData = pdXData;
    DropEnvelope();
    if (pdXData) {
        m_MinXVal = dMinXVal;
        m_MaxXVal = dMaxXVal;
    } else {
        m_MinXVal = 0;
        m_MaxXVal = m_nPts - 1;
    }
}

QPen* CSpecTrace::SetPen(QPen* pPen)
{
    QPen* prev = m_pPen;
    if (m_ownPen.get() == prev)
        (void)m_ownPen.release(); // the pen goes back to the caller
    m_pPen = pPen ? pPen : &GetDefaults().m_Pen;
    if (m_pPen != &GetDefaults().m_Pen)
        m_ownPen.reset(m_pPen);
    return prev;
}

int CSpecTrace::SetDispMode(int iMode)
{
    const int prev = m_iDispMode;
    m_iDispMode = iMode;
    return prev;
}

int CSpecTrace::SetRect(const CRect* pRect, BOOL bX, BOOL bY)
{
    m_rDisp = *pRect;
    for (CLineCursor* c : m_lsLineCursors)
        c->SetClipRect(m_rDisp);
    return CalcDisplayParameters(bX, bY);
}

// Installs the axis transform t over (dS, S0, ds, s0), moving the cursors of
// one orientation so that each keeps its data value.
static void Retransform(const std::vector<CLineCursor*>& cursors, int iOrientation, const plot::SAxisXform& t,
                        double& dS, double& S0, double& ds, double& s0)
{
    for (CLineCursor* c : cursors)
        if (c->GetOrientation() == iOrientation)
            c->SetPos((c->GetPos() * dS + S0) * t.ds + t.s0);
    dS = t.dS;
    S0 = t.S0;
    ds = t.ds;
    s0 = t.s0;
}

int CSpecTrace::CalcDisplayParameters(BOOL bX, BOOL bY)
{
    if (bX)
        Retransform(m_lsLineCursors, CLineCursor::Vert,
                    plot::CalcXTransform(m_rDisp.left, m_rDisp.right, m_Xmin, m_Xmax), m_dX, m_X0, m_dx,
                    m_x0);
    if (bY)
        Retransform(m_lsLineCursors, CLineCursor::Horz,
                    plot::CalcYTransform(m_rDisp.top, m_rDisp.bottom, m_Ymin, m_Ymax), m_dY, m_Y0, m_dy,
                    m_y0);
    return 0;
}

int CSpecTrace::SetDispLimits(XYSet xy, const double* pdLimits, BOOL bRecalc)
{
    const bool frac = xy & XY_FRAC;
    int k = 0;
    if (xy & X_SET) {
        const double f0 = pdLimits[k++], f1 = pdLimits[k++];
        if (frac) {
            // Fractions of the data's X range (the index range without X data).
            m_Xmin = m_MinXVal + (m_MaxXVal - m_MinXVal) * f0;
            m_Xmax = m_MinXVal + (m_MaxXVal - m_MinXVal) * f1;
        } else {
            m_Xmin = f0;
            m_Xmax = f1;
        }
    }
    if (xy & Y_SET) {
        const double f0 = pdLimits[k++], f1 = pdLimits[k++];
        if (frac) {
            m_Ymin = m_MinYVal + (m_MaxYVal - m_MinYVal) * f0;
            m_Ymax = m_MinYVal + (m_MaxYVal - m_MinYVal) * f1;
        } else {
            m_Ymin = f0;
            m_Ymax = f1;
        }
    }
    if (bRecalc)
        CalcDisplayParameters(xy & X_SET, xy & Y_SET);
    return 0;
}

void CSpecTrace::GetDispLimits(XYSet xy, double* pdLimits) const
{
    const bool frac = xy & XY_FRAC;
    int k = 0;
    if (xy & X_SET) {
        double r = m_MaxXVal - m_MinXVal;
        if (r == 0)
            r = 1;
        pdLimits[k++] = frac ? (m_Xmin - m_MinXVal) / r : m_Xmin;
        pdLimits[k++] = frac ? (m_Xmax - m_MinXVal) / r : m_Xmax;
    }
    if (xy & Y_SET) {
        double r = m_MaxYVal - m_MinYVal;
        if (r == 0)
            r = 1;
        pdLimits[k++] = frac ? (m_Ymin - m_MinYVal) / r : m_Ymin;
        pdLimits[k++] = frac ? (m_Ymax - m_MinYVal) / r : m_Ymax;
    }
}

double CSpecTrace::PointWidth() const
{
    if (!m_pdXData || m_nPts < 2)
        return 1;
    const double w = (m_MaxXVal - m_MinXVal) / (m_nPts - 1);
    return w > 0 ? w : 1;
}

void CSpecTrace::PushInsideX(double d)
{
    if (m_Xmax > m_MaxXVal) {
        m_Xmax = m_MaxXVal;
        m_Xmin = m_Xmax - d;
    } else if (m_Xmin < m_MinXVal) {
        m_Xmin = m_MinXVal;
        m_Xmax = m_MinXVal + d;
    }
}

int CSpecTrace::SetDispLimits(int iXfactor, int iYfactor, BOOL bNotTest)
{
    if (m_nPts == 0)
        return 0;
    double xmin = m_Xmin, xmax = m_Xmax, ymin = m_Ymin, ymax = m_Ymax;
    unsigned short full = m_FullScale, maxs = m_MaxScale;
    const double pw = PointWidth();
    // The result tells the caller what to redraw: an axis counts as changed
    // unless the zoom has nothing to do (already full scale, already at the
    // narrowest range), even when the new limits come out equal to the old.
    bool bX = false, bY = false;
    const bool xFull = m_Xmin == m_MinXVal && m_Xmax == m_MaxXVal;
    const bool yData = m_Ymin == m_MinYVal && m_Ymax == m_MaxYVal;

    if (iXfactor == 0) {
        bX = !xFull;
        xmin = m_MinXVal;
        xmax = m_MaxXVal;
        full |= 1;
    } else if (iXfactor >= 2) {
        full &= ~1;
        if (m_Xmax - m_Xmin < 2 * pw) {
            maxs |= 1;
        } else {
            bX = true;
            double d = (m_Xmax - m_Xmin) / iXfactor;
            if (d < 4 * pw) {
                d = 4 * pw;
                maxs |= 1;
            }
            const double c = (m_Xmin + m_Xmax) / 2;
            xmin = c - d / 2;
            xmax = c + d / 2;
        }
    } else if (iXfactor <= -2) {
        maxs &= ~1;
        bX = !xFull;
        const double d = -double(iXfactor) * (m_Xmax - m_Xmin);
        if (d >= m_MaxXVal - m_MinXVal) {
            xmin = m_MinXVal;
            xmax = m_MaxXVal;
        } else {
            const double c = (m_Xmin + m_Xmax) / 2;
            xmin = c - d / 2;
            xmax = c + d / 2;
            if (xmax > m_MaxXVal) {
                xmax = m_MaxXVal;
                xmin = xmax - d;
            } else if (xmin < m_MinXVal) {
                xmin = m_MinXVal;
                xmax = m_MinXVal + d;
            }
        }
    }

    if (iYfactor == 0) {
        double h = (m_MaxYVal - m_MinYVal) / 2;
        const double c = (m_MaxYVal + m_MinYVal) / 2;
        if (h == 0)
            h = 1 / m_YFullScale;
        if (!yData) {
            bY = true;
            ymin = c - m_YFullScale * h;
            ymax = c + m_YFullScale * h;
        }
        full |= 2;
    } else if (iYfactor >= 2) {
        // The limits change in any case, and limits that happened to equal
        // the data range are reported as changed too: the vertical axis
        // must follow.
        bY = true;
        full &= ~2;
        double d = (m_Ymax - m_Ymin) / iYfactor;
        if (d != 0 && (m_MaxYVal - m_MinYVal) / d > 131072) {
            d = (m_MaxYVal - m_MinYVal) / 131072;
            maxs |= 2;
        }
        switch (m_Vmode) {
        case ScreenBottom:
            ymax = m_Ymin + d;
            break;
        case ScreenCentre: {
            const double c = (m_Ymin + m_Ymax) / 2;
            ymin = c - d / 2;
            ymax = c + d / 2;
            break;
        }
        default:
            ymin = m_Ymin / iYfactor;
            ymax = m_Ymax / iYfactor;
            break;
        }
    } else if (iYfactor <= -2) {
        bY = true;
        maxs &= ~2;
        const double n = -double(iYfactor);
        const double d = n * (m_Ymax - m_Ymin);
        switch (m_Vmode) {
        case ScreenBottom:
            ymax = m_Ymin + d;
            break;
        case ScreenCentre: {
            const double c = (m_Ymin + m_Ymax) / 2;
            ymin = c - d / 2;
            ymax = c + d / 2;
            break;
        }
        default:
            ymin = m_Ymin * n;
            ymax = m_Ymax * n;
            break;
        }
    }

    const int result = (bX ? 1 : 0) | (bY ? 2 : 0);
    if (!bNotTest)
        return result;
    m_Xmin = xmin;
    m_Xmax = xmax;
    m_Ymin = ymin;
    m_Ymax = ymax;
    m_FullScale = full;
    m_MaxScale = maxs;
    if (!m_rDisp.IsRectNull())
        SetRect(&m_rDisp, result & 1, result & 2);
    return result;
}

int CSpecTrace::SetDispLimits(const CRect* pRect)
{
    if (!pRect || pRect->IsRectEmpty())
        return 0;
    const CPoint tl(pRect->left, pRect->top);
    const bool in = m_rDisp.PtInRect(tl);
    const bool bX = in && !(pRect->left == m_rDisp.left && pRect->right == m_rDisp.right);
    const bool bY = in && !(pRect->top == m_rDisp.top && pRect->bottom == m_rDisp.bottom);
    if (bX) {
        m_Xmin = xToX(pRect->left);
        m_Xmax = xToX(pRect->right);
        double d = m_Xmax - m_Xmin;
        const double dMin = 4 * PointWidth();
        if (d < dMin) {
            const double c = (m_Xmin + m_Xmax) / 2;
            d = dMin;
            m_Xmin = c - d / 2;
            m_Xmax = c + d / 2;
        }
        PushInsideX(d);
        m_FullScale &= ~1;
    }
    if (bY) {
        m_Ymax = yToY(pRect->top);
        m_Ymin = yToY(pRect->bottom);
        m_FullScale &= ~2;
    }
    CalcDisplayParameters(bX, bY);
    return (bX ? 1 : 0) | (bY ? 2 : 0);
}

void CSpecTrace::CopyDispParams(const CSpecTrace* s)
{
    m_Xmin = s->m_Xmin;
    m_Xmax = s->m_Xmax;
    m_Ymin = s->m_Ymin;
    m_Ymax = s->m_Ymax;
    m_dX = s->m_dX;
    m_X0 = s->m_X0;
    m_dx = s->m_dx;
    m_x0 = s->m_x0;
    m_dY = s->m_dY;
    m_Y0 = s->m_Y0;
    m_dy = s->m_dy;
    m_y0 = s->m_y0;
    m_rDisp = s->m_rDisp;
    m_FullScale = s->m_FullScale;
}

int CSpecTrace::ScrollHorz(int dx, RECT* prUpdate)
{
    // The data's X range: point indexes without X data, X values with them.
    const double lo = m_MinXVal, hi = m_MaxXVal;
    const double R = m_Xmax - m_Xmin;
    RECT& u = *prUpdate;
    // A window that a zoom pushed past an end is not refused: the scroll
    // below pulls it back to that end. One at least as wide as the data has
    // nowhere to go.
    if ((m_Xmax == hi && dx < 0) || (m_Xmin == lo && dx > 0) || R >= hi - lo) {
        u = RECT{};
        return 0;
    }
    m_Xmin -= dx * m_dX;
    m_Xmax -= dx * m_dX;
    u = m_rDisp;
    if (m_Xmax > hi) {
        m_Xmax = hi;
        m_Xmin = hi - R;
        CalcDisplayParameters(TRUE, FALSE);
        return 0;
    }
    if (m_Xmin < lo) {
        m_Xmin = lo;
        m_Xmax = lo + R;
        CalcDisplayParameters(TRUE, FALSE);
        return 0;
    }
    m_X0 -= dx * m_dX;
    m_x0 += dx;
    for (CLineCursor* c : m_lsLineCursors)
        if (c->GetOrientation() == CLineCursor::Vert)
            c->SetPos(c->GetPos() + dx);
    return dx;
}

int CSpecTrace::ScrollVert(int dy, RECT* prUpdate)
{
    const double lo = m_MinYVal - m_dY, hi = m_MaxYVal + m_dY;
    const double R = m_Ymax - m_Ymin;
    RECT& u = *prUpdate;
    if ((m_Ymax <= lo && dy < 0) || (m_Ymin >= hi && dy > 0)) {
        u = RECT{};
        return 0;
    }
    m_Ymin -= dy * m_dY;
    m_Ymax -= dy * m_dY;
    u = m_rDisp;
    if (m_Ymax < lo) {
        m_Ymax = lo;
        m_Ymin = lo - R;
        CalcDisplayParameters(FALSE, TRUE);
        return 0;
    }
    if (m_Ymin > hi) {
        m_Ymin = hi;
        m_Ymax = hi + R;
        CalcDisplayParameters(FALSE, TRUE);
        return 0;
    }
    m_Y0 -= dy * m_dY;
    m_y0 += dy;
    for (CLineCursor* c : m_lsLineCursors)
        if (c->GetOrientation() == CLineCursor::Horz)
            c->SetPos(c->GetPos() + dy);
    return dy;
}

double CSpecTrace::XTox(double X) const
{
    if (!m_pdXData || m_nPts < 1)
        return X * m_dx + m_x0;
    const int i = std::clamp(plot::FloorSat(X), 0, m_nPts - 1);
    return m_pdXData[i] * m_dx + m_x0;
}

int CSpecTrace::IndexTox(int i) const
{
    double v;
    if (m_pdXData && m_nPts > 0) {
        i = std::clamp(i, 0, m_nPts - 1);
        v = m_pdXData[i] * m_dx + m_x0;
    } else {
        v = i * m_dx + m_x0;
        if (m_dX > 1)
            v += 0.4999999999999;
    }
    return plot::FloorSat(v);
}

int CSpecTrace::xToIndex(const double& x) const
{
    if (m_nPts < 1)
        return 0;
    if (m_pdXData) {
        // The nearest point by its X value: the transform gives X units here.
        const double X = xToX(x);
        const double* first = m_pdXData;
        const double* last = m_pdXData + m_nPts;
        const double* it = std::lower_bound(first, last, X);
        if (it == first)
            return 0;
        if (it == last)
            return m_nPts - 1;
        return int((X - *(it - 1) <= *it - X) ? (it - 1 - first) : (it - first));
    }
    const int v = plot::FloorSat(x * m_dX + m_X0 + 0.5);
    return std::clamp(v, 0, m_nPts - 1);
}

void CSpecTrace::Attach(CLineCursor* pCursor)
{
    pCursor->SetClipRect(m_rDisp);
    m_lsLineCursors.push_back(pCursor);
}

BOOL CSpecTrace::Detach(CLineCursor* pCursor)
{
    auto it = std::find(m_lsLineCursors.begin(), m_lsLineCursors.end(), pCursor);
    if (it == m_lsLineCursors.end())
        return FALSE;
    m_lsLineCursors.erase(it);
    return TRUE;
}

BOOL CSpecTrace::OnLButtonDown(UINT, CPoint point)
{
    // A copy: the drag runs a mouse loop in which cursors may be detached.
    const std::vector<CLineCursor*> cursors = m_lsLineCursors;
    for (CLineCursor* c : cursors) {
        double old = c->GetPos();
        const int r = c->Track(point, &m_rDisp);
        if (r == 0)
            continue;
        if (r == int(WMAPP_LC_POS))
            SendAppMessage(c->GetWnd(), WMAPP_LC_POS, reinterpret_cast<uintptr_t>(&old),
                           reinterpret_cast<intptr_t>(c));
        return TRUE;
    }
    return FALSE;
}

HCURSOR CSpecTrace::GetCursor(CPoint& point) const
{
    for (const CLineCursor* c : m_lsLineCursors)
        if (HCURSOR h = c->GetCursor(point))
            return h;
    if (!m_rDisp.PtInRect(point))
        return nullptr;
    const Qt::KeyboardModifiers m = QGuiApplication::queryKeyboardModifiers();
    const bool ctrl = m & Qt::ControlModifier, shift = m & Qt::ShiftModifier;
    if (ctrl && shift)
        return LoadPlotCursor(IDC_ARROW);
    if (ctrl)
        return LoadPlotCursor(IDC_SPLIT_HORZ);
    if (shift)
        return LoadPlotCursor(IDC_SPLIT_VERT);
    return LoadPlotCursor(IDC_CROSS);
}

void CSpecTrace::OnUpdate(int iFrom, int iTo, CWnd* pWnd)
{
    if (m_nPts < 1 || !m_pdYData)
        return;
    iFrom = std::clamp(iFrom, 0, m_nPts - 1);
    // The extremes of the values that are finite numbers, as the document's
    // curves keep them: a "nan" or "inf" (imported, or left by processing)
    // must not take the plot's scale with it. 0 and 0 when there are none.
    if (iTo >= m_nPts - 1) {
        m_MinYVal = HUGE_VAL;
        m_MaxYVal = -HUGE_VAL;
        for (int i = 0; i < m_nPts; ++i)
            if (std::isfinite(m_pdYData[i])) {
                m_MinYVal = std::min(m_MinYVal, m_pdYData[i]);
                m_MaxYVal = std::max(m_MaxYVal, m_pdYData[i]);
            }
        if (!(m_MinYVal <= m_MaxYVal))
            m_MinYVal = m_MaxYVal = 0.0;
    } else {
        for (int i = iFrom; i <= std::max(iTo, iFrom); ++i)
            if (std::isfinite(m_pdYData[i])) {
                m_MinYVal = std::min(m_MinYVal, m_pdYData[i]);
                m_MaxYVal = std::max(m_MaxYVal, m_pdYData[i]);
            }
    }
    // Only the blocks above the new points are refreshed.
    m_Columns.Clear();
    if (m_Envelope.IsBuiltFor(m_pdYData, m_nPts))
        m_Envelope.Update(iFrom, std::clamp(iTo, iFrom, m_nPts - 1));
    else
        DropEnvelope();
    if (!m_bVisible || !pWnd)
        return;
    const int to = std::min(iTo, m_nPts - 1);
    int x1, x2;
    if (m_pdXData) {
        // Before the first and after the last point the strip runs to the rectangle's edge.
        x1 = iFrom >= 1 ? plot::FloorSat(XTox(iFrom - 1)) : m_rDisp.left;
        x2 = to + 1 < m_nPts ? plot::TruncSat(std::ceil(XTox(to + 1))) + 1 : m_rDisp.right;
    } else {
        x1 = plot::FloorSat(XTox(iFrom - 1));
        x2 = plot::TruncSat(std::ceil(XTox(to + 1))) + 1;
    }
    if (x2 > x1)
        pWnd->update(QRect(x1, m_rDisp.top, x2 - x1, m_rDisp.Height()));
}

void CSpecTrace::DataChanged()
{
    DropEnvelope();
}

void CSpecTrace::DataChanged(int iFrom, int iTo)
{
    m_Columns.Clear();
    if (m_Envelope.IsBuiltFor(m_pdYData, m_nPts))
        m_Envelope.Update(iFrom, iTo);
    else
        DropEnvelope();
}

plot::STraceGeom CSpecTrace::Geometry() const
{
    plot::STraceGeom g;
    if (m_pdYData && m_nPts > 0)
        g.y = std::span<const double>(m_pdYData, size_t(m_nPts));
    g.x = m_pdXData;
    g.X = plot::SAxisXform{m_dX, m_X0, m_dx, m_x0};
    g.Y = plot::SAxisXform{m_dY, m_Y0, m_dy, m_y0};
    return g;
}

int CSpecTrace::DrawTrace(QPainter* pDC, const CRect* pClip, BOOL)
{
    if (!m_bVisible)
        return 1;
    const CRect C = pClip ? *pClip : ClipBoxOf(pDC);
    CRect V;
    V.IntersectRect(m_rDisp, C);
    if (m_nPts < 1 || !m_pdYData)
        return 1;
    pDC->setPen(*m_pPen);
    if (V.IsRectEmpty())
        return 1;
    pDC->setClipRect(ToQRect(V));
    std::vector<CPoint>& pts = VertexBuffer();
    plot::STraceGeom g = Geometry();
    if (!m_pdXData && m_dX >= 2 * plot::CMinMaxPyramid::kLeaf) {
        // Many points per column: their extremes come from the block pyramid,
        // so the work follows the width rather than the number of points.
        if (!m_Envelope.IsBuiltFor(m_pdYData, m_nPts))
            m_Envelope.Build(m_pdYData, m_nPts);
        g.env = &m_Envelope;
        g.cols = &m_Columns;
    }
    plot::BuildVertices(g, V, pts);
    const size_t n = pts.size();
    if (n >= 1) {
        static std::vector<QPoint> q;
        static std::vector<CRect> cols;
        static std::vector<QRect> rects;
        static std::vector<QLine> lines;
        const bool opaque = m_iDispMode & 1;
        CPoint cut;
        bool bCut = false;
        if (opaque)
            bCut = plot::AppendFill(pts, m_rDisp, &cut);
        pDC->setRenderHint(QPainter::Antialiasing, false);
        const bool vectorFill = opaque && pDC->brush().style() != Qt::NoBrush && plot::IsVectorDevice(pDC);
        if (vectorFill) {
            // A printer or PDF keeps every shape it is given: the fill and its
            // outline as one closed path through the curve's vertices, not a
            // line per device column (thousands per curve at printer
            // resolution) and the outline again.
            // The outline leaves out the bottom edge, which lies one unit below
            // the clip: a hairline there still inks the row above on paper,
            // where the screen shows none.
            q.resize(pts.size() + 1);
            q[0] = QPoint(pts.back().x, pts.back().y);
            for (size_t i = 0; i < pts.size(); ++i)
                q[i + 1] = QPoint(pts[i].x, pts[i].y);
            const QPen pen = pDC->pen();
            pDC->setPen(Qt::NoPen);
            pDC->drawPolygon(q.data() + 1, int(pts.size()), Qt::WindingFill);
            pDC->setPen(pen);
            pDC->drawPolyline(q.data(), int(q.size()) - 1);
            if (bCut)
                pDC->drawLine(cut.x, cut.y, cut.x, m_rDisp.bottom - 1);
        } else if (opaque) {
            // The area below the curve, with the current brush: the curve and
            // the fill's first vertex form the upper edge, x never decreasing.
            if (pDC->brush().style() != Qt::NoBrush) {
                plot::ColumnFill(std::span<const CPoint>(pts.data(), n + 1), V.left, V.right,
                                 m_rDisp.bottom + 1, cols);
                const QPen pen = pDC->pen();
                const QBrush brush = pDC->brush();
                if (brush.style() == Qt::SolidPattern) {
                    // One-pixel lines rasterise faster than one-pixel rectangles.
                    lines.resize(cols.size());
                    for (size_t i = 0; i < cols.size(); ++i)
                        lines[i] = QLine(cols[i].left, cols[i].top, cols[i].left, cols[i].bottom - 1);
                    pDC->setPen(QPen(brush.color(), 0));
                    pDC->drawLines(lines.data(), int(lines.size()));
                } else {
                    rects.resize(cols.size());
                    for (size_t i = 0; i < cols.size(); ++i)
                        rects[i] = ToQRect(cols[i]);
                    pDC->setPen(Qt::NoPen);
                    pDC->drawRects(rects.data(), int(rects.size()));
                }
                pDC->setPen(pen);
            }
            // The outline of the filled polygon, closed back to the first vertex.
            pts.push_back(pts.front());
            q.resize(pts.size());
            for (size_t i = 0; i < pts.size(); ++i)
                q[i] = QPoint(pts[i].x, pts[i].y);
            pDC->drawPolyline(q.data(), int(q.size()));
            if (bCut)
                pDC->drawLine(cut.x, cut.y, cut.x, m_rDisp.bottom - 1);
        } else if (n >= 2) {
            q.resize(n);
            for (size_t i = 0; i < n; ++i)
                q[i] = QPoint(pts[i].x, pts[i].y);
            pDC->drawPolyline(q.data(), int(n));
        } else if (!m_pSymbol) {
            // A lone point has no line to draw; without a symbol it would not
            // show at all, so it gets a short mark of the curve's pen.
            const int h = std::max(2, CSymbol::HalfSizePixels(pDC));
            pDC->drawLine(pts[0].x - h, pts[0].y, pts[0].x + h, pts[0].y);
        }
        if (m_pSymbol)
            for (size_t i = 0; i < n; ++i)
                m_pSymbol->Draw(pDC, pts[i]);
    }
    pDC->setClipRect(ToQRect(C));
    return 0;
}

int CSpecTrace::Draw(QPainter* pDC, const CRect* pClip, BOOL bPreview)
{
    DrawTrace(pDC, pClip, bPreview);
    for (CLineCursor* c : m_lsLineCursors)
        c->Draw(pDC, pClip);
    return 0;
}
