#include "app/ProfileViewBase.h"

#include "app/Legend.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "app/plot/Symbol.h"

#include <QRect>
#include <algorithm>
#include <cmath>

CProfileViewBase::CProfileViewBase()
{
    m_caSymbols.push_back(std::make_unique<CSymbolCross>());
    m_caSymbols.push_back(std::make_unique<CSymbolSquare>());
    m_caSymbols.push_back(std::make_unique<CSymbolTriangle>());
    m_aColours = {PlotRGB(0, 0, 255),     PlotRGB(255, 0, 0), PlotRGB(0, 128, 0),   PlotRGB(0, 0, 0),
                  PlotRGB(0, 0, 128),     PlotRGB(128, 0, 0), PlotRGB(0, 128, 128), PlotRGB(128, 0, 128),
                  PlotRGB(128, 128, 128), PlotRGB(0, 255, 0)};
}

CProfileViewBase::~CProfileViewBase()
{
    // The windows' curves point at the symbols: the windows go first.
    ResetSpecWnds(0);
    while (!m_caSymbols.empty())
        m_caSymbols.pop_back();
}

const CSymbol* CProfileViewBase::GetSymbol(int i) const
{
    const int n = int(m_caSymbols.size());
    return n > 0 ? m_caSymbols[size_t(((i % n) + n) % n)].get() : nullptr;
}

COLORREF CProfileViewBase::GetColour(int i) const
{
    return m_aColours[size_t(((i % NumColours) + NumColours) % NumColours)];
}

void CProfileViewBase::OnDraw(QPainter*) {}

int CProfileViewBase::PointsIn(const QRect& r, int nCurves) const
{
    CSpecWnd* w = GetSpecWnd(0);
    // A point's symbol reaches a few pixels around it.
    const QRect near = r.adjusted(-4, -4, 4, 4);
    int inside = 0;
    for (int c = 0; w && c < nCurves; ++c) {
        const CSpecTrace* tr = w->GetSpecTrace(c, 0);
        int n = 0;
        const double* Y = w->GetYData(&n, c, 0);
        for (int k = 0; tr && Y && k < n; ++k)
            if (std::isfinite(Y[k]))
                inside += near.contains(QPoint(tr->IndexTox(k), int(std::lround(tr->YToy(Y[k]))))) ? 1 : 0;
    }
    return inside;
}

void CProfileViewBase::PlaceLegendClear(CLegend* pLegend, int nCurves)
{
    CSpecWnd* w = GetSpecWnd(0);
    const CSpecTrace* first = w ? w->GetSpecTrace(0, 0) : nullptr;
    const CRect* rc = first ? first->GetRect() : nullptr;
    if (!pLegend || !rc)
        return;
    pLegend->Reposition(0, rc->right, rc->bottom);
    const QRect top = pLegend->geometry();
    QRect bottom = top;
    bottom.moveBottom(rc->bottom - 1);
    if (PointsIn(bottom, nCurves) < PointsIn(top, nCurves))
        pLegend->move(bottom.topLeft());
    pLegend->update();
}
