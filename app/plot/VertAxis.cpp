#include "app/plot/VertAxis.h"

#include "app/plot/PaintUtil.h"
#include "app/plot/PlotColor.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>
#include <cmath>

using namespace plot;

CVertAxis::CVertAxis() : m_font(AxisDefaults().m_Font), m_bVisible(AxisDefaults().m_bVisible) {}

CVertAxis::CVertAxis(const CVertAxis&) = default;

CVertAxis::~CVertAxis() = default;

int CVertAxis::SetParams(QPainter* pDC)
{
    m_font.SetForDevice(pDC);
    return m_Params.Set(pDC, *m_font.Get());
}

int CVertAxis::SetRect(const CRect& r)
{
    m_rDisp = r;
    m_rDisp.right = r.left + GetWidth();
    return 0;
}

int CVertAxis::SetRect(const CRect& r, double* pMin, double* pMax)
{
    m_sMin = r.bottom - 1;
    m_sMax = r.top;
    const plot::SVertFit f = plot::FitVertAxis(r.top, r.bottom, *pMin, *pMax);
    m_dMaxTickStep = f.dMaxTickStep;
    *pMax = f.UMax;
    *pMin = f.UMin; // moved only for flat data, which gets a range around it
    m_UMax = f.UMax;
    m_UMin = f.UMin;
    m_rDisp = r;
    m_dU = f.dU;
    m_U0 = f.U0;
    CalcTicks();
    m_rDisp.right = m_rDisp.left + m_cxWidth;
    return 0;
}

void CVertAxis::CalcTicks()
{
    const plot::SVertTicks t = plot::CalcVertTicks(m_rDisp.top, m_rDisp.bottom, m_dU, m_U0, m_UMax,
                                                   m_dMaxTickStep, m_Params.Metrics());
    m_dTickStep = t.dTickStep;
    m_dTickSpacing = t.dTickSpacing;
    m_TickPos = t.TickPos;
    m_TickVal = t.TickVal;
    m_iTickIndex = t.iTickIndex;
    m_nTrunc = t.nTrunc;
    m_cxWidth = t.cxWidth;
}

void CVertAxis::AnchorTicks()
{
    const double V = (m_rDisp.bottom - 1) * m_dU + m_U0;
    // The ticks keep their lattice: most sit on multiples of the step, those
    // of a short pane may count down from the top value.
    m_TickVal += std::floor((V - m_TickVal) / m_dTickStep) * m_dTickStep;
    m_TickPos = (m_TickVal - m_U0) / m_dU;
}

void CVertAxis::Invalidate(QWidget* pWnd, bool) const
{
    if (!pWnd)
        return;
    const int e = (m_Params.m_cDigit.cy + 1) / 2;
    pWnd->update(QRect(m_rDisp.left, m_rDisp.top - e, m_rDisp.Width(), m_rDisp.Height() + 2 * e));
}

void CVertAxis::Scroll(int d, CRect& rUpdate)
{
    if (!m_bVisible)
        return;
    m_TickPos += d;
    m_sMin += d;
    m_sMax += d;
    m_U0 -= d * m_dU;
    rUpdate.UnionRect(rUpdate, m_rDisp);
    if (m_rDisp.bottom - 1 > m_TickPos)
        AnchorTicks();
}

void CVertAxis::SetLimits(double s0, double s1, double U0, double U1)
{
    if (!m_bVisible)
        return;
    m_sMin = s0;
    m_sMax = s1;
    m_UMin = U0;
    m_UMax = U1;
    double den = s1 - s0;
    if (den == 0)
        den = 1;
    m_dU = (U1 - U0) / den;
    if (m_dU == 0 || !std::isfinite(m_dU))
        m_dU = 1;
    m_U0 = U0 - s0 * m_dU;
    CalcTicks();
}

void CVertAxis::Draw(QPainter* pDC, const CRect* pRect, BOOL bPreview)
{
    if (!m_bVisible)
        return;
    CRect vis;
    vis.IntersectRect(m_rDisp, pRect ? *pRect : ClipBoxOf(pDC));
    if (vis.IsRectEmpty())
        return;
    CRect clip = m_rDisp;
    const int ext = bPreview ? m_Params.m_cDigit.cy / 2 : m_Params.m_cDigit.cy;
    clip.top -= ext;
    clip.bottom += ext;
    pDC->save();
    pDC->setClipRect(ToQRect(clip), Qt::IntersectClip);
    pDC->setRenderHint(QPainter::Antialiasing, false);
    pDC->setPen(m_Params.m_Pen);
    pDC->setFont(*m_font.Get());
    pDC->setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics fm(*m_font.Get(), pDC->device());
    const int T = vis.top, Bt = vis.bottom;
    const int xA = m_rDisp.right - 1;

    const int yTop = std::max(T, plot::FloorSat((m_UMax - m_U0) / m_dU + 0.4999999999));
    if (yTop <= Bt - 1)
        pDC->drawLine(xA, yTop, xA, Bt - 1);
    const int xMajor = xA - m_Params.m_cyMajorTickHeight;
    const int xSub = xA - m_Params.m_cySubTickHeight;
    const int xText = xA - m_Params.m_cyMajorTickHeight - m_Params.m_dTxt;
    const int cyHalf = m_Params.m_cDigit.cy / 2;
    const double spacing = m_dTickSpacing;
    const double step = m_dTickStep;
    double f[4];
    const int nSub = SubTickFractions(plot::kTickSteps[size_t(std::clamp(m_iTickIndex, 0, 6))], f);
    const QColor text = ToQColor(m_Params.m_clrAxis);

    // The lattice pos = TickPos - j * spacing, from at or below the visible bottom.
    double j = std::floor((m_TickPos - Bt) / spacing);
    double pos = m_TickPos - j * spacing;
    double value = m_TickVal + j * step;
    const long long maxTicks = (long long)((Bt - T) / std::max(spacing, 1e-3)) + 4;
    for (long long n = 0; n < maxTicks; ++n) {
        const int y = plot::FloorSat(pos + 0.4999999999);
        if (y < T)
            break;
        if (std::fabs(value) < step * 1e-9)
            value = 0;
        if (y - cyHalf < Bt) {
            pDC->drawLine(xMajor, y, xA, y);
            const QString label = QString::fromStdString(plot::FormatTickLabel(value, m_nTrunc));
            pDC->setPen(text);
            pDC->drawText(QRect(xText - 1000, y - cyHalf, 1000, fm.height()),
                          Qt::AlignRight | Qt::AlignTop | Qt::TextDontClip, label);
            pDC->setPen(m_Params.m_Pen);
        }
        if (value >= m_UMax - step * 1e-9)
            break;
        for (int s = 0; s < nSub; ++s) {
            const int ys = plot::FloorSat(pos - f[s] * spacing + 0.4999999999);
            if (T <= ys && ys <= Bt - 1)
                pDC->drawLine(xSub, ys, xA, ys);
        }
        pos -= spacing;
        value += step;
    }
    pDC->restore();
}
