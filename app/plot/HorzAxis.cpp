#include "app/plot/HorzAxis.h"

#include "app/plot/PaintUtil.h"
#include "app/plot/PlotColor.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>
#include <cmath>

using namespace plot;

CHorzAxis::CHorzAxis() : m_font(AxisDefaults().m_Font), m_bVisible(AxisDefaults().m_bVisible) {}

CHorzAxis::CHorzAxis(const CHorzAxis&) = default;

CHorzAxis::~CHorzAxis() = default;

int CHorzAxis::SetParams(QPainter* pDC)
{
    m_font.SetForDevice(pDC);
    return m_Params.Set(pDC, *m_font.Get());
}

void CHorzAxis::SetRect(const CRect& r)
{
    m_rDisp = r;
    m_rDisp.top = r.bottom - GetHeight();
}

void CHorzAxis::SetClipRect(const CRect& r)
{
    m_rClip = r;
    m_rClip.right += 1;
    m_rClip.bottom += 1;
}

void CHorzAxis::Invalidate(QWidget* pWnd, bool) const
{
    if (pWnd)
        pWnd->update(QRect(m_rClip.left, m_rDisp.top, m_rClip.Width(), m_rDisp.Height()));
}

void CHorzAxis::Scroll(int d, CRect& rUpdate)
{
    if (!m_bVisible)
        return;
    m_TickPos += d;
    m_sMin += d;
    m_sMax += d;
    m_U0 -= d * m_dU;
    rUpdate.UnionRect(rUpdate, m_rDisp);
}

void CHorzAxis::SetLimits(double s0, double s1, double U0, double U1)
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

void CHorzAxis::CalcTicks()
{
    const plot::SHorzTicks t =
        plot::CalcHorzTicks(m_rDisp.left, m_rDisp.right, m_dU, m_U0, m_UMin, m_UMax, m_Params.Metrics());
    m_dTickStep = t.dTickStep;
    m_dTickSpacing = t.dTickSpacing;
    m_TickPos = t.TickPos;
    m_TickVal = t.TickVal;
    m_iTickIndex = t.iTickIndex;
    m_nTrunc = t.nTrunc;
    m_cxWidth = t.cxWidth;
}

void CHorzAxis::Draw(QPainter* pDC, const CRect* pRect, BOOL)
{
    if (!m_bVisible)
        return;
    CRect vis;
    vis.IntersectRect(m_rDisp, pRect ? *pRect : ClipBoxOf(pDC));
    if (vis.IsRectEmpty())
        return;
    pDC->save();
    pDC->setClipRect(ToQRect(m_rClip), Qt::IntersectClip);
    pDC->setRenderHint(QPainter::Antialiasing, false);
    pDC->setPen(m_Params.m_Pen);
    pDC->setFont(*m_font.Get());
    pDC->setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics fm(*m_font.Get(), pDC->device());
    const int L = vis.left, Rt = vis.right;

    pDC->drawLine(L, m_rDisp.top, Rt - 1, m_rDisp.top);
    const int y0 = m_rDisp.top + 1;
    const int yMajor = y0 + m_Params.m_cyMajorTickHeight - 1;
    const int ySub = y0 + m_Params.m_cySubTickHeight - 1;
    const int yText = y0 + m_Params.m_cyMajorTickHeight + m_Params.m_dTxt;
    const double spacing = m_dTickSpacing;
    const double step = m_dTickStep;
    double f[4];
    const int nSub = SubTickFractions(plot::kTickSteps[size_t(std::clamp(m_iTickIndex, 0, 6))], f);

    // With one value on the axis its own tick is the only one that means
    // anything; the scale beside it is made up.
    const double k = m_UMin == m_UMax ? 0 : std::floor((L - m_TickPos) / spacing);
    double pos = k * spacing + m_TickPos + 1e-8;
    double value = k * step + m_TickVal;
    const QColor text = ToQColor(m_Params.m_clrAxis);
    // Enough for every tick across the visible part, whatever the values.
    const long long maxTicks = (long long)((Rt - L) / std::max(spacing, 1e-3)) + 4;
    for (long long n = 0; n < maxTicks; ++n) {
        const int x = plot::FloorSat(pos);
        if (std::fabs(value) < std::fabs(step) * 1e-9)
            value = 0; // no "-0" from rounding
        const QString label = QString::fromStdString(plot::FormatTickLabel(value, m_nTrunc));
        const int h = fm.horizontalAdvance(label) / 2;
        if (x - h >= Rt || x >= m_rDisp.right)
            break;
        if (x + h >= L && x >= m_rDisp.left) {
            pDC->drawLine(x, y0, x, yMajor);
            pDC->setPen(text);
            pDC->drawText(QRect(x - h, yText, 2 * h + 2, fm.height()),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, label);
            pDC->setPen(m_Params.m_Pen);
        }
        const double tol = std::fabs(step) * 1e-9;
        if (step > 0 ? value >= m_UMax - tol : value <= m_UMax + tol)
            break;
        for (int s = 0; s < nSub; ++s) {
            const int xs = plot::FloorSat(pos + f[s] * spacing + 0.4999999999);
            if (L <= xs && xs < Rt)
                pDC->drawLine(xs, y0, xs, ySub);
        }
        pos += spacing;
        value += step;
    }
    pDC->restore();
}
